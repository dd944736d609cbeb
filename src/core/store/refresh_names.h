#pragma once
// Giving the message files of a folder the names their headers call for again.

#include <functional>
#include <string>

namespace corvelle {

class MailStore;
class UserInterface;

// Moves every file of the folder `folder_text` (relative to the root of `store`, or
// absolute) to the name that filing would give it (FiledTarget with the folder's absolute
// path, so the sent-mail rule never applies), numbered when taken; contents stay as they
// are. A file's own name counts as taken, so a file already so named moves to the first
// numbered variant. Left alone: the "System" folder and everything below it, "*.fol" and
// "*.cvab" files, hidden files, empty files and files that cannot be read. `status` gets
// "Now refreshing names in folder ..." before each file; `ui` gets Current and events.
// Returns how many files were moved.
int RefreshNames(const MailStore& store, UserInterface& ui, const std::string& folder_text,
                 const std::function<void(const std::string&)>& status = {});

}  // namespace corvelle
