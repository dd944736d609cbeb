#include "core/messages/delete_messages.h"

#include <cerrno>
#include <cstring>

#include "core/store/folder_files.h"
#include "core/user_interface.h"
#include "platform/paths.h"

namespace corvelle {

DeleteOutcome ConfirmDeleteFiles(UserInterface& ui, const std::vector<std::string>& files) {
  DeleteOutcome outcome;
  if (files.empty()) return outcome;
  if (files.size() == 1) {
    // The one question a single message has always had; its answer and a failure read alike.
    outcome.deleted = ConfirmDeleteFile(ui, files.front()) ? 1 : 0;
    outcome.confirmed = outcome.deleted == 1;
    return outcome;
  }
  Answer answer = ui.Message("Are you sure you want to delete these " + std::to_string(files.size()) + " messages?",
                             "Delete mail warning", Buttons::YesNo, MessageIcon::None);
  if (answer != Answer::Yes) return outcome;
  outcome.confirmed = true;
  for (const std::string& file : files) {
    ui.ProcessEvents();
    if (RemoveFile(ResolvePath(file)))
      ++outcome.deleted;
    else
      outcome.failed.push_back(file + ": " + std::strerror(errno ? errno : ENOENT));
  }
  return outcome;
}

}  // namespace corvelle
