#pragma once
// Moving a message file into another mail folder.

#include <string>

namespace corvelle {

class MailStore;
class UserInterface;

enum class FolderMove {
  kSameFolder,  // the file is in that folder already: nothing was moved
  kMoved,
  kRefused,  // the file or the folder is missing, or the system refused: the file stays
};

// Moves the message file `file_name` into the folder text `folder` (relative to the root of
// `store`, or absolute) under its own name, numbered when that is taken (MoveFileUnique:
// nothing is ever replaced). The folders count as the same when their paths match ignoring
// case or name the same folder on disk. `moved_to` receives the new path, else "".
FolderMove MoveMessageToFolder(const MailStore& store, UserInterface& ui, const std::string& file_name,
                               const std::string& folder, std::string& moved_to);

}  // namespace corvelle
