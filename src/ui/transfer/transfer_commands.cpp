// The transfer commands of the main window: Get / Send All, Send Current, Spool Current,
// Send File and Run Filter. Each takes the busy guard first: they process pending events while they run,
// and a second one started from inside the first is refused with a status line.

#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QTimer>

#include <string>
#include <vector>

#include "core/busy_guard.h"
#include "core/messages/spool_message.h"
#include "core/settings/settings.h"
#include "core/user_interface.h"
#include "platform/paths.h"
#include "ui/cmdline/parm_processing.h"
#include "ui/common/file_dialog_state.h"
#include "ui/common/qt_text.h"
#include "ui/main/commands.h"
#include "ui/main/corvel_prog.h"
#include "ui/main/features.h"
#include "ui/main/guarded_command.h"
#include "ui/transfer/trans_dlg.h"
#include "ui/viewer/mail_viewer.h"

namespace corvelle {
namespace {

ResultLine ResultPanel(TCorvelProg& window) {
  return [&window](const std::string& text) { window.Panel3->setText(TextToQt(text)); };
}

void GetNewMail1Click(TCorvelProg& window) {
  TTransDlg dialog(&window, ResultPanel(window));
  dialog.Run().GetSendAll();
}

void RunFilter1Click(TCorvelProg& window) {
  TTransDlg dialog(&window, ResultPanel(window));
  dialog.Run().DoFiltering();
}

// Sends or spools the active composition. A window reopened from "Postponed" keeps its file
// there until the message was sent or its ".out" file is complete: until then it is the one
// copy besides the window. The window closes once the message is out or spooled; `outcome`
// receives the result line the run gave ("sent" or, when sending failed, "spooled").
bool DoTransfer(TCorvelProg& window, bool send, QString& outcome) {
  TMailViewer* viewer = window.ActiveViewer();
  if (!viewer || !viewer->IsNewMessage()) {
    ShowMessage("You must select a new mail window to send.");
    return false;
  }
  std::vector<std::string> lines;
  viewer->GetMessageFromWindow(lines);
  if (lines.empty()) return false;
  bool done = false;
  if (send) {
    TTransDlg dialog(&window, ResultPanel(window));
    done = dialog.Run().DoSend("", &lines);
  } else {
    done = DoSpool(Ui(), "", &lines, ResultPanel(window));
  }
  if (!done) return false;
  outcome = window.Panel3->text();
  if (InPostponedFolder(viewer->FileName)) RemoveFile(viewer->FileName);
  viewer->AskOnClose = false;
  viewer->Release();
  return true;
}

// The result line is the run's own: a message that could not be sent and was spooled
// instead is never reported as sent. Set again after the window closed, which clears it.
void Send1Click(TCorvelProg& window) {
  window.Panel3->setText("Sending file...");
  QString outcome;
  if (DoTransfer(window, true, outcome)) window.Panel3->setText(outcome);
}

void SpoolCurrent1Click(TCorvelProg& window) {
  window.Panel3->setText("Spooling file...");
  QString outcome;
  if (DoTransfer(window, false, outcome)) window.Panel3->setText(outcome);
}

// Asks for the file and the address when the command line gave none. False when the
// command ends here.
bool ChooseFileToSend(TCorvelProg& window) {
  const std::string filter =
      "Text Files (*.txt)|*.txt|Mail Files (*.mail,*.newmail)|*.mail;*.newmail|All Files|*.*";
  QString folder = InitialDirectory(MailSettings.MailDirectory);
  QString chosen = QFileDialog::getOpenFileName(&window, "Open a file to send", folder, NameFilters(filter).join(";;"));
  if (chosen.isEmpty()) {
    ShowMessage("You must specify a file to send");
    return false;
  }
  window.ParmFile = PathFromQt(chosen);
  bool accepted = false;
  QString address = QInputDialog::getText(&window, "Mail - Send file", "Enter the address you wish to send to:",
                                          QLineEdit::Normal, TextToQt(window.ParmUser), &accepted);
  if (!accepted) {
    window.ParmFile.clear();
    return false;
  }
  window.ParmUser = TextFromQt(address);
  return true;
}

// A file sent as the body of a new message: spooled first, so a failed send leaves it for
// the next run. ParmFile, ParmUser and ParmSubject carry the command line's arguments.
void SendFile1Click(TCorvelProg& window) {
  if (window.ParmFile.empty() && !ChooseFileToSend(window)) return;
  std::string bytes;
  if (!ReadWholeFile(window.ParmFile, bytes)) {
    ShowMessage("Cannot open file.");
    window.ParmUser.clear();
  }
  std::string subject = window.ParmSubject.empty() ? "Sending you file " + window.ParmFile : window.ParmSubject;
  window.ParmFile.clear();
  if (window.ParmUser.empty()) {
    ShowMessage("You must enter an address to send to.");
    return;
  }
  std::string spooled = SpoolFileMessage(window.ParmUser, subject, bytes);
  if (spooled.empty()) {
    ShowMessage("Mail message could not be saved.");
    return;
  }
  TTransDlg dialog(&window, ResultPanel(window));
  dialog.Run().DoSend(spooled, nullptr);
}

}  // namespace

void RegisterTransferCommands(CommandRegistry& registry) {
  registry.Register(Command::GetSendAll, Guarded(GetNewMail1Click));
  registry.Register(Command::RunFilter, Guarded(RunFilter1Click));
  registry.Register(Command::Send, Guarded(Send1Click));
  registry.Register(Command::Spool, Guarded(SpoolCurrent1Click));
  registry.Register(Command::SendFile, Guarded(SendFile1Click));
}

}  // namespace corvelle
