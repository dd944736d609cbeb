#pragma once
// The message commands on the mailbox window's selection: the store's own operations, with
// the questions and texts the commands have in a message window.

#include <string>
#include <vector>

namespace corvelle {

class TCorvelProg;
struct Services;

// Delete: one question (ConfirmDeleteFiles), the result in the result panel, failures told.
void DeleteMessages(TCorvelProg& frame, Services& services, const std::vector<std::string>& paths);

// Move: the folder asked for (TFolderSelect, one folder) when `folder` is "", else `folder`
// (full path or folder text). Never replaces a file there (MoveMessageToFolder).
void MoveMessages(TCorvelProg& frame, Services& services, const std::vector<std::string>& paths,
                  std::string folder = "");

// Reply: a composition answering the message `path`; a postponed message is refused as
// in a message window.
void ReplyToMessage(TCorvelProg& frame, Services& services, const std::string& path, bool postponed);

// Print: each message as a message window shows it, one job each.
void PrintMessages(TCorvelProg& frame, Services& services, const std::vector<std::string>& paths);

// Save As: the message file's lines to a file the user chooses.
void SaveMessageAs(TCorvelProg& frame, Services& services, const std::string& path);

}  // namespace corvelle
