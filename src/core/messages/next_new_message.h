#pragma once
// Finding the next message of a folder that has not been opened yet.

#include <string>

namespace corvelle {

class UserInterface;

// The name (no path) of the first file of `folder`, in the order of ListFolderFiles, whose
// extension is ".newmail" ignoring case. Hidden names (a leading "." or a trailing "~") are
// passed over. "" when there is none or the folder cannot be read. Since message files are
// named subject first, this is the new message whose subject sorts first.
std::string FirstNewMessage(UserInterface& ui, const std::string& folder);

}  // namespace corvelle
