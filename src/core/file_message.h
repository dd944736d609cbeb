#pragma once
// Filing a message into one or more folders.

#include <string>
#include <vector>

namespace corvelle {

// Files the message whose lines are `lines` and whose file is MailDirectory + `sub_dir` +
// "/" + `file_name` into every folder of the folder list `folders` (all of them, however long
// the list), each time under the name built from its header:
//   subject (50 characters, "Re:" prefixes dropped, "(none)" when absent or empty)
//   + sender, or for a folder whose text starts with "sent mail" the recipient (30 characters)
//   + extension (".mail" into sent-mail folders and from ".mai"/".mail" sources, else ".newmail"),
// the fields cleaned by SanitizeFileName and numbered by MoveFileUnique when taken.
// With `write_first`, the lines are written to the source file and flushed before each move
// (the source need not exist); without it the source is moved once, so only the first
// folder receives it. Returns false only when such a write failed; a refused move leaves
// the file where it was. Empty `lines` (or one empty line) file nothing and return true.
bool FileMessage(const std::string& folders, const std::string& sub_dir, const std::string& file_name,
                 const std::vector<std::string>& lines, bool write_first);

}  // namespace corvelle
