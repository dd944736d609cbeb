#include "core/messages/postpone_message.h"

#include "core/store/file_message.h"
#include "core/store/file_naming.h"
#include "core/store/folder_list.h"
#include "platform/paths.h"

namespace corvelle {

Postponing PostponeNewMessage(const MailStore& store, UserInterface& ui, const std::vector<std::string>& lines,
                              std::string& filed_as) {
  filed_as.clear();
  std::string work = NamePart(UniqueFileName(store.Spool(), ""));
  FilingResult result;
  store.FileMessage(ui, JoinFolderList({store.Postponed()}), "Spool", work, lines, true, result);
  if (!result.copies.empty() && result.AllMoved()) {
    filed_as = result.copies.front().name;
    return Postponing::kSaved;
  }
  // The store keeps a refused copy so that filing never loses a message; here the window
  // still holds it, and a stray file in Spool would be sent with the next spool run.
  if (!result.kept.empty()) RemoveFile(result.kept);
  return result.WriteFailed() || result.copies.empty() ? Postponing::kWriteFailed : Postponing::kMoveRefused;
}

}  // namespace corvelle
