// The message commands of the main window: open, close, save, delete, move, print,
// postpone, the clipboard, next new message and the folder views.

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QPlainTextEdit>
#include <QPointer>

#include "core/store/mail_store.h"
#include "core/store/folder_files.h"
#include "core/store/message_text.h"
#include "core/messages/move_message.h"
#include "core/messages/next_new_message.h"
#include "core/settings/settings.h"
#include "core/user_interface.h"
#include "platform/paths.h"
#include "ui/common/file_dialog_state.h"
#include "ui/common/qt_text.h"
#include "ui/folders/folder_select.h"
#include "ui/main/commands.h"
#include "ui/main/corvel_prog.h"
#include "ui/main/features.h"
#include "ui/messages/folder_views.h"
#include "ui/messages/message_print.h"
#include "ui/messages/postpone.h"
#include "ui/messages/save_as.h"
#include "ui/viewer/mail_viewer.h"

namespace corvelle {
namespace {

constexpr const char* kMailFilter = "Mail Files (*.mail;*.newmail)|*.mail;*.newmail|Text Files|*.txt";

// Later opens start in the folder the dialog showed last, not in the mail directory.
void FileOpenItemClick(TCorvelProg& window) {
  window.OpenDialog.filters = NameFilters(kMailFilter);
  std::string path = RunFileDialog(&window, window.OpenDialog, "Open Mail File", QFileDialog::AcceptOpen,
                                   &window.OpenDialog.directory);
  if (!path.empty()) window.CreateMailViewer(ShortFileName(path), "", "", "");
}

// A received or sent message as it is shown: its file's lines, byte for byte, or the text
// area's when the file has gone.
std::vector<std::string> ShownLines(const TMailViewer& viewer) {
  std::vector<std::string> lines;
  if (!viewer.FileName.empty() && ReadMessageLines(viewer.FileName, lines)) return lines;
  for (const QString& line : viewer.MailText->toPlainText().split('\n')) lines.push_back(TextFromQt(line));
  return lines;
}

void FileSaveAsItemClick(TCorvelProg& window, Services& services) {
  QPointer<TMailViewer> viewer = window.ActiveViewer();
  if (!viewer) return;
  std::string path = ChooseSavePath(window);
  if (path.empty() || !viewer) return;
  std::vector<std::string> lines;
  if (viewer->IsNewMessage()) {
    viewer->GetMessageFromWindow(lines);
    if (lines.empty()) return;  // the user completes the window first
  } else {
    lines = ShownLines(*viewer);
  }
  SaveChosenLines(window, services.ui, path, lines);
}

void Delete1Click(TCorvelProg& window) {
  TMailViewer* viewer = window.ActiveViewer();
  if (!viewer) return;
  if (ConfirmDeleteFile(window.RunServices().ui, viewer->FileName)) {
    viewer->Release();  // its file is gone: nothing left to ask about
    QApplication::processEvents();
    window.ShowResult("Message deleted.");
  } else {
    window.ShowResult("Message could not be deleted.");
  }
}

void Move1Click(TCorvelProg& window, Services& services) {
  QPointer<TMailViewer> viewer = window.ActiveViewer();
  if (!viewer) return;
  TFolderSelect dialog(services.ui, services.Store(), &window);
  dialog.MakeSingleSel();
  if (dialog.exec() != QDialog::Accepted || dialog.GetFolders().empty() || !viewer) return;
  std::string moved_to;
  switch (MoveMessageToFolder(services.Store(), services.ui, viewer->FileName, dialog.GetFolders(), moved_to)) {
    case FolderMove::kSameFolder:
      return;
    case FolderMove::kMoved:
      viewer->Release();
      return;
    case FolderMove::kRefused:
      ShowMessage(services.ui, "Message could not be moved.");
      return;
  }
}

void Print1Click(TCorvelProg& window, Services& services) {
  TMailViewer* viewer = window.ActiveViewer();
  if (!viewer) return;
  PrintLines(services.printer, services.ui, viewer->windowTitle(), viewer->MailText->toPlainText().split('\n'),
             PrinterFont(services.settings.DefaultFont));
}

void Postpone1Click(TCorvelProg& window) {
  TMailViewer* viewer = window.ActiveViewer();
  if (viewer && DoPostponeFile(*viewer)) viewer->Release();
}

// The folder of the active received message, else the default mail folder.
void Nextnewmessage1Click(TCorvelProg& window, Services& services) {
  TMailViewer* viewer = window.ActiveViewer();
  bool received = viewer && !viewer->IsNewMessage() && !viewer->FileName.empty();
  std::string folder = received ? FolderPart(viewer->FileName)
                                : services.settings.MailDirectory + services.settings.DefaultMailFolder + "/";
  std::string name = FirstNewMessage(services.ui, folder);
  if (name.empty())
    ShowMessage(services.ui, "No new messages found in folder " + folder + ".");
  else
    window.CreateMailViewer(ResolvePath(folder) + name, "", "", "");
}

// An address line's selected entry; the subject or date line's selection; else the text's.
void CopyClick(TCorvelProg& window) {
  TMailViewer* viewer = window.ActiveViewer();
  if (!viewer) return;
  QWidget* focus = viewer->focusWidget();
  if (focus == viewer->FromLine || focus == viewer->CcLine) {
    auto* line = static_cast<QComboBox*>(focus);
    if (line->currentIndex() >= 0) QApplication::clipboard()->setText(line->currentText());
  } else if (focus == viewer->SubjectLine || focus == viewer->DateLine) {
    static_cast<QLineEdit*>(focus)->copy();
  } else {
    viewer->MailText->copy();
  }
}

// Undo goes to the control that has the focus in the active window.
void UndoClick(TCorvelProg& window) {
  TMailViewer* viewer = window.ActiveViewer();
  if (!viewer) return;
  QWidget* focus = viewer->focusWidget();
  if (auto* line = qobject_cast<QLineEdit*>(focus))
    line->undo();
  else if (auto* text = qobject_cast<QPlainTextEdit*>(focus))
    text->undo();
}

// A command on the active window's text area.
std::function<void(TCorvelProg&)> OnText(void (QPlainTextEdit::*action)()) {
  return [action](TCorvelProg& window) {
    if (TMailViewer* viewer = window.ActiveViewer()) (viewer->MailText->*action)();
  };
}

}  // namespace

void RegisterMessageCommands(CommandRegistry& registry, Services& services) {
  registry.Register(Command::FileOpen, FileOpenItemClick);
  registry.Register(Command::FileClose, [](TCorvelProg& window) { window.ClientArea->closeActiveSubWindow(); });
  registry.Register(Command::FileSaveAs, [&services](TCorvelProg& window) { FileSaveAsItemClick(window, services); });
  registry.Register(Command::Delete, Delete1Click);
  registry.Register(Command::Move, [&services](TCorvelProg& window) { Move1Click(window, services); });
  registry.Register(Command::Print, [&services](TCorvelProg& window) { Print1Click(window, services); });
  registry.Register(Command::Postpone, Postpone1Click);
  registry.Register(Command::AttachFile, [](TCorvelProg& window) {
    if (TMailViewer* viewer = window.ActiveViewer()) viewer->AttachFileClick();
  });
  registry.Register(Command::NextNewMessage, [&services](TCorvelProg& window) { Nextnewmessage1Click(window, services); });
  registry.Register(Command::Copy, CopyClick);
  registry.Register(Command::Undo, UndoClick);
  registry.Register(Command::Cut, OnText(&QPlainTextEdit::cut));
  registry.Register(Command::Paste, OnText(&QPlainTextEdit::paste));
  const std::pair<Command, const char*> views[] = {{Command::ViewMail, ""},
                                                   {Command::ViewPostponed, "Postponed"},
                                                   {Command::ViewSent, "Sent Mail"},
                                                   {Command::ViewSpooled, "Spool"},
                                                   {Command::ViewSignatures, "System/Signatures"}};
  for (const auto& [command, folder] : views)
    registry.Register(command, [&services, folder = folder](TCorvelProg&) {
      ShowFolder(services.open_url, services.settings.MailDirectory + folder);
    });
}

}  // namespace corvelle
