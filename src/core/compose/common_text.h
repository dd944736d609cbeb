#pragma once
// Common text: reusable snippets, one ".txt" file each in "System/Common Text" of the mail
// directory, named after their description.

#include <string>
#include <vector>

namespace corvelle {

class MailStore;
class UserInterface;

struct CommonTextEntry {
  int number = 0;           // 1-based place of the file among the folder's listed files
  std::string description;  // the file name without ".txt"
  std::string path;         // the file itself
};

// The common-text folder of `store`, without its trailing "/".
std::string CommonTextFolder(const MailStore& store);

// The entries of `store` in menu order: every file of the folder but hidden ones (IsHiddenName) is
// listed (sorted ignoring case) and numbered, and those ending in ".txt" (any case) become entries, so numbers have gaps
// where other files sort in between.
std::vector<CommonTextEntry> ListCommonText(const MailStore& store, UserInterface& ui);

// The menu caption: "&" + number + " - " + description, with every "&" of the description
// doubled so it shows as itself and the number's first digit stays the accelerator.
std::string CommonTextCaption(const CommonTextEntry& entry);

// The entry's text, its lines each followed by "\n". False when the file cannot be read.
bool ReadCommonText(const std::string& path, std::string& text);

// Stores a new entry in `store`: the lines go to a work file of the folder (each line ended by CR LF,
// flushed), which is then moved to the cleaned description + ".txt", numbered when taken.
// False when the work file cannot be written (nothing is left behind). A refused move
// leaves the entry under its work name, where the menu still finds it.
bool AddCommonText(const MailStore& store, UserInterface& ui, const std::string& description,
                   const std::vector<std::string>& lines);

}  // namespace corvelle
