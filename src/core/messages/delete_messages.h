#pragma once
// Deleting several message files after one question.

#include <string>
#include <vector>

namespace corvelle {

class UserInterface;

struct DeleteOutcome {
  bool confirmed = false;            // the user said Yes
  int deleted = 0;
  std::vector<std::string> failed;   // "<file>: <reason>" for each file that stays
};

// One file: ConfirmDeleteFile's question and answer (a No and a failure read alike). More: asks (through `ui`) "Are you sure you want to
// delete these <n> messages?" (caption "Delete mail warning", Yes and No) and on Yes deletes
// each file of `files`, going on past one that cannot be deleted.
DeleteOutcome ConfirmDeleteFiles(UserInterface& ui, const std::vector<std::string>& files);

}  // namespace corvelle
