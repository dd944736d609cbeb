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
// the fields cleaned by SanitizeFileName and numbered by MoveFileUnique when taken. Lets the
// interface process events between folders.
// With `write_first`, each folder gets its own copy of the lines: written under a fresh
// work name beside the source, flushed, then moved without replacing. The source may exist
// (a spool file filed into every folder of a rule) or not; it is removed only after every
// folder holds its copy, and otherwise stays where it was. A copy whose move is refused is
// removed again and filing goes on with the next folder; only when no folder received the
// message and no source file held it does that copy stay, under the source name, so the
// message is never lost. Without `write_first` the source itself is moved, so only the first
// folder receives it. Empty `lines` (or one empty line) file nothing and succeed.

enum class Filing { kMoved, kWriteFailed, kMoveRefused };

struct FiledCopy {
  std::string folder;  // the folder text, as listed
  Filing outcome = Filing::kMoveRefused;
  std::string name;  // the file it became; "" when it was not moved
};

struct FilingResult {
  std::vector<FiledCopy> copies;  // one per folder of the list, in its order
  std::string kept;               // the source name a copy stays under (see above), or ""
  bool AllMoved() const;          // every folder received the message
  bool WriteFailed() const;
};

bool FileMessage(const std::string& folders, const std::string& sub_dir, const std::string& file_name,
                 const std::vector<std::string>& lines, bool write_first, FilingResult& result);

// The same, for callers that need only this answer: false when a copy that was to be written
// did not reach its folder (its write failed or its move was refused). Without `write_first`
// nothing is written and the answer is true.
bool FileMessage(const std::string& folders, const std::string& sub_dir, const std::string& file_name,
                 const std::vector<std::string>& lines, bool write_first);

// The name FileMessage gives a message with the header `lines` filed into `folder_text`
// from a source named `file_name`, before MoveFileUnique numbers it. For callers that
// write the message's bytes themselves.
std::string FiledTarget(const std::string& folder_text, const std::string& file_name,
                        const std::vector<std::string>& lines);

}  // namespace corvelle
