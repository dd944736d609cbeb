#include "ui/mailbox/mailbox_actions.h"


#include "core/messages/delete_messages.h"
#include "core/messages/move_message.h"
#include "core/mime/mime_reader.h"
#include "core/store/big_file.h"
#include "core/store/message_text.h"
#include "core/user_interface.h"
#include "ui/common/qt_text.h"
#include "ui/folders/folder_select.h"
#include "ui/main/corvel_prog.h"
#include "ui/main/services.h"
#include "ui/messages/message_print.h"
#include "ui/messages/save_as.h"

namespace corvelle {
namespace {

std::string Listed(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += "\n\r" + line;
  return text;
}

}  // namespace

void DeleteMessages(TCorvelProg& frame, Services& services, const std::vector<std::string>& paths) {
  if (paths.empty()) return;
  DeleteOutcome outcome = ConfirmDeleteFiles(services.ui, paths);
  if (paths.size() == 1) {
    frame.ShowResult(outcome.deleted == 1 ? "Message deleted." : "Message could not be deleted.");
    return;
  }
  if (!outcome.confirmed) return;
  frame.ShowResult(QString("%1 messages deleted.").arg(outcome.deleted));
  if (!outcome.failed.empty())
    ShowMessage(services.ui, "These messages could not be deleted:" + Listed(outcome.failed));
}

void MoveMessages(TCorvelProg& frame, Services& services, const std::vector<std::string>& paths, std::string folder) {
  if (paths.empty()) return;
  const MailStore store = services.Store();
  if (folder.empty()) {
    TFolderSelect dialog(services.ui, store, &frame);
    dialog.MakeSingleSel();
    if (dialog.exec() != QDialog::Accepted || dialog.GetFolders().empty()) return;
    folder = dialog.GetFolders();
  }
  int moved = 0;
  std::vector<std::string> refused;
  for (const std::string& path : paths) {
    std::string moved_to;
    switch (MoveMessageToFolder(store, services.ui, path, folder, moved_to)) {
      case FolderMove::kSameFolder: break;
      case FolderMove::kMoved: ++moved; break;
      case FolderMove::kRefused: refused.push_back(path); break;
    }
  }
  if (paths.size() > 1 && moved > 0) frame.ShowResult(QString("%1 messages moved.").arg(moved));
  if (refused.size() == 1 && paths.size() == 1)
    ShowMessage(services.ui, "Message could not be moved.");
  else if (!refused.empty())
    ShowMessage(services.ui, "These messages could not be moved (the file or the folder is missing, or the system "
                             "refused):" + Listed(refused));
}

void ReplyToMessage(TCorvelProg& frame, Services& services, const std::string& path, bool postponed) {
  if (postponed) {
    ShowMessage(services.ui, "You cannot reply to a new message.");
    return;
  }
  frame.CreateMailViewer(NewMessageName(frame.MessageWindowCount()), "", path, "");
}

void PrintMessages(TCorvelProg&, Services& services, const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    TBigFile file;
    if (!file.LoadFromFile(path)) {
      ShowMessage(services.ui, "Cannot read file " + path + ".");
      continue;
    }
    QStringList lines;
    for (const std::string& line : DecodedMessageLines(file.Data())) lines << TextToQt(line);
    if (!PrintLines(services.printer, services.ui, "Mail - [" + PathToQt(path) + "]", lines,
                    PrinterFont(services.settings.DefaultFont)))
      return;  // no printer: said once
  }
}

void SaveMessageAs(TCorvelProg& frame, Services& services, const std::string& path) {
  std::vector<std::string> lines;
  if (!ReadMessageLines(path, lines)) {
    ShowMessage(services.ui, "Cannot read file " + path + ".");
    return;
  }
  const std::string target = ChooseSavePath(frame);
  if (!target.empty()) SaveChosenLines(frame, services.ui, target, lines);
}

}  // namespace corvelle
