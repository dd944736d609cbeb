// The transfer commands of the main window: Get / Send All, Get mail from one account, Send
// Current, Spool Current, Send File and Run Filter. Each takes the busy guard first: they
// process pending events while they run, and a second one started from inside the first is
// refused with a status line.

#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QTimer>

#include <memory>
#include <string>
#include <vector>

#include "core/store/mail_store.h"
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
  return [&window](const std::string& text) { window.ShowResult(TextToQt(text)); };
}

void GetNewMail1Click(TCorvelProg& window, const Services& services) {
  TTransDlg dialog(&window, services, ResultPanel(window));
  dialog.Run().GetSendAll();
}

// Get mail from one account, the menu's or the command line's.
void GetFromAccountClick(TCorvelProg& window, const Services& services, const std::string& account) {
  TTransDlg dialog(&window, services, ResultPanel(window));
  dialog.Run().GetFromAccount(account);
}

void RunFilter1Click(TCorvelProg& window, const Services& services) {
  TTransDlg dialog(&window, services, ResultPanel(window));
  dialog.Run().DoFiltering();
}

// Shows each result line the run gives and keeps the last one in `outcome`.
ResultLine KeptResult(TCorvelProg& window, QString& outcome) {
  return [&window, &outcome](const std::string& text) {
    outcome = TextToQt(text);
    window.ShowResult(outcome);
  };
}

// Sends or spools the active composition. A window reopened from "Postponed" keeps its file
// there until the message was sent or its ".out" file is complete: until then it is the one
// copy besides the window. The window closes once the message is out or spooled; `outcome`
// receives the result line the run gave ("sent" or, when sending failed, "spooled"); it
// keeps the line shown before when the run gave none.
bool DoTransfer(TCorvelProg& window, const Services& services, bool send, QString& outcome) {
  TMailViewer* viewer = window.ActiveViewer();
  if (!viewer || !viewer->IsNewMessage()) {
    ShowMessage(services.ui, "You must select a new mail window to send.");
    return false;
  }
  std::vector<std::string> lines;
  viewer->GetMessageFromWindow(lines);
  if (lines.empty()) return false;
  outcome = window.Result();
  ResultLine kept = KeptResult(window, outcome);
  bool done = false;
  if (send) {
    TTransDlg dialog(&window, services, kept);
    done = dialog.Run().DoSend("", &lines);
  } else {
    done = DoSpool(services.ui, services.Store(), "", &lines, kept);
  }
  if (!done) return false;
  if (services.Store().InPostponed(viewer->FileName)) RemoveFile(viewer->FileName);
  viewer->AskOnClose = false;
  viewer->Release();
  return true;
}

// The result line is the run's own: a message that could not be sent and was spooled
// instead is never reported as sent. Set again after the window closed.
void Send1Click(TCorvelProg& window, const Services& services) {
  window.ShowResult("Sending file...");
  QString outcome;
  if (DoTransfer(window, services, true, outcome)) window.ShowResult(outcome);
}

void SpoolCurrent1Click(TCorvelProg& window, const Services& services) {
  window.ShowResult("Spooling file...");
  QString outcome;
  if (DoTransfer(window, services, false, outcome)) window.ShowResult(outcome);
}

// The file and the address, asked for when the command line gave none; the address offered
// is the one typed the last time. False when the command ends here.
bool ChooseFileToSend(TCorvelProg& window, const Services& services, CommandArgs& args, std::string& typed_address) {
  const std::string filter =
      "Text Files (*.txt)|*.txt|Mail Files (*.mail,*.newmail)|*.mail;*.newmail|All Files|*.*";
  QString folder = InitialDirectory(services.settings.MailDirectory);
  QString chosen = QFileDialog::getOpenFileName(&window, "Open a file to send", folder, NameFilters(filter).join(";;"));
  if (chosen.isEmpty()) {
    ShowMessage(services.ui, "You must specify a file to send");
    return false;
  }
  args.file = PathFromQt(chosen);
  bool accepted = false;
  QString address = QInputDialog::getText(&window, "Mail - Send file", "Enter the address you wish to send to:",
                                          QLineEdit::Normal, TextToQt(typed_address), &accepted);
  if (!accepted) return false;
  args.user = typed_address = TextFromQt(address);
  return true;
}

// A file sent as the body of a new message: spooled first, so a failed send leaves it for
// the next run. The command line gives the file, the address and the subject; without
// them the user chooses.
void SendFile1Click(TCorvelProg& window, const Services& services, CommandArgs args, std::string& typed_address) {
  if (args.file.empty() && !ChooseFileToSend(window, services, args, typed_address)) return;
  std::string bytes;
  if (!ReadWholeFile(args.file, bytes)) {
    ShowMessage(services.ui, "Cannot open file.");
    args.user.clear();
    typed_address.clear();
  }
  std::string subject = args.subject.empty() ? "Sending you file " + args.file : args.subject;
  if (args.user.empty()) {
    ShowMessage(services.ui, "You must enter an address to send to.");
    return;
  }
  std::string spooled = SpoolFileMessage(services.Store(), services.settings, args.user, subject, bytes);
  if (spooled.empty()) {
    ShowMessage(services.ui, "Mail message could not be saved.");
    return;
  }
  TTransDlg dialog(&window, services, ResultPanel(window));
  dialog.Run().DoSend(spooled, nullptr);
}

}  // namespace

void RegisterTransferCommands(CommandRegistry& registry, Services& services) {
  using Transfer = void (*)(TCorvelProg&, const Services&);
  const std::pair<Command, Transfer> transfers[] = {{Command::GetSendAll, GetNewMail1Click},
                                                     {Command::RunFilter, RunFilter1Click},
                                                     {Command::Send, Send1Click},
                                                     {Command::Spool, SpoolCurrent1Click}};
  for (const auto& [command, transfer] : transfers)
    registry.Register(command, Guarded(services, [&services, transfer = transfer](TCorvelProg& window,
                                                                                 const CommandArgs&) {
                        transfer(window, services);
                      }));
  registry.Register(Command::GetFromAccount,
                    Guarded(services, [&services](TCorvelProg& window, const CommandArgs& args) {
                      GetFromAccountClick(window, services, args.account);
                    }));
  auto typed_address = std::make_shared<std::string>();
  registry.Register(Command::SendFile,
                    Guarded(services, [&services, typed_address](TCorvelProg& window, const CommandArgs& args) {
                      SendFile1Click(window, services, args, *typed_address);
                    }));
}

}  // namespace corvelle
