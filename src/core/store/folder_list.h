#pragma once
// Folder texts and folder lists. A folder text names a mail folder relative to the mail
// directory ("Sent Mail", "System/AddressBook"), or absolutely when it starts with "/".
// A folder list holds several: each in double quotes, entries separated by one character
// (a comma): "Work","Archive".

#include <string>
#include <string_view>
#include <vector>

namespace corvelle {

// The folder texts of a list, left to right. Each entry is the text between its opening
// quote and the next quote; the next entry starts three characters later (closing quote,
// separator, opening quote). An entry without its closing quote is empty and ends the list.
std::vector<std::string> SplitFolderList(std::string_view list);

// The list form of folder texts: each quoted, joined by commas.
std::string JoinFolderList(const std::vector<std::string>& folders);

}  // namespace corvelle
