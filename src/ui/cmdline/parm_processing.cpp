#include "ui/cmdline/parm_processing.h"

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <optional>

#include "core/busy_guard.h"
#include "core/cmdline/forwarded_line.h"
#include "core/cmdline/mailto.h"
#include "core/run_outcome.h"
#include "core/settings/settings.h"
#include "core/store/folder_files.h"
#include "core/store/message_text.h"
#include "core/user_interface.h"
#include "ui/books/book_commands.h"
#include "ui/common/qt_user_interface.h"
#include "ui/common/qt_text.h"
#include "ui/main/corvel_prog.h"
#include "ui/viewer/mail_viewer.h"

namespace corvelle {
namespace {

// A composition filled from a link that ParseParms has checked already.
void OpenMailtoComposition(TCorvelProg& window, const std::string& link) {
  std::string error;
  std::optional<MailtoLink> fields = ParseMailto(link, error);
  if (!fields) return;
  TMailViewer* viewer = window.CreateMailViewer(NewMessageName(window.MessageWindowCount()),
                                                fields->to.empty() ? "" : fields->to.front(), "", fields->subject);
  if (!viewer) return;
  viewer->FromLine->SetEntries(fields->to);
  viewer->CcLine->SetEntries(fields->cc);
  if (fields->body.empty()) return;
  // The text goes above the empty line and the signature that a new message starts with.
  QStringList text;
  for (const std::string& line : fields->body) text << TextToQt(line);
  QTextCursor cursor(viewer->MailText->document());
  cursor.insertText(text.join('\n') + '\n');
}

// The command an option runs through the main window's command table.
Command OptionCommand(ParmAction action) {
  switch (action) {
    case ParmAction::GetSendAll: return Command::GetSendAll;
    case ParmAction::GetFromAccount: return Command::GetFromAccount;
    case ParmAction::Filter: return Command::RunFilter;
    case ParmAction::ExportFolder: return Command::ExportPine;
    case ParmAction::ImportFile: return Command::ImportPine;
    case ParmAction::SendFile: return Command::SendFile;
    default: return Command::None;
  }
}

// Runs one step with its arguments. `subject` is the "subject" option's text, kept for the
// steps after it.
void RunStep(TCorvelProg& window, const ParmStep& step, std::string& subject) {
  const std::string& arg = step.args.empty() ? std::string() : step.args[0];
  switch (step.action) {
    case ParmAction::NewMailTo:
      window.CreateMailViewer(NewMessageName(window.MessageWindowCount()), arg, "", "");
      return;
    case ParmAction::ReplyTo:
      window.CreateMailViewer(NewMessageName(window.MessageWindowCount()), "", arg, "");
      return;
    case ParmAction::Open:
      window.CreateMailViewer(ShortFileName(arg), "", "", "");
      return;
    case ParmAction::Subject:
      subject = arg;
      return;
    case ParmAction::MailTo:
      OpenMailtoComposition(window, arg);
      return;
    case ParmAction::AutoAdd:
      AutoAddFile(window, window.RunServices(), arg);
      return;
    case ParmAction::GetFromAccount:
      window.RunCommand(Command::GetFromAccount, {.account = arg});
      return;
    default:
      CommandArgs args{arg, step.action == ParmAction::SendFile ? step.args[1] : std::string(), subject};
      window.RunCommand(OptionCommand(step.action), args);
  }
}

bool draining = false;  // the queue of forwarded lines is being run

// A start without options wants the program in front: a minimized window comes back as it
// was before, and rises.
void ShowInFront(TCorvelProg& window) {
  if (window.isMinimized()) window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
  window.show();
  window.raise();
  window.activateWindow();
}

}  // namespace

namespace {

// Without a display nobody can use what a command line leaves open (the main window, a
// composition): such a run always ends after its options, whatever ExitAfterCmdProc says,
// so a script or cron job gets its status instead of a process that waits for ever.
bool HeadlessCommandLine(UserInterface& ui, const ParsedParms& parsed, bool from_command_line) {
  auto* qt = dynamic_cast<QtUserInterface*>(&ui);
  return from_command_line && !parsed.steps.empty() && qt && qt->Headless();
}

}  // namespace

void ProcessParmStrings(TCorvelProg& window, const std::vector<std::string>& list, bool from_command_line) {
  Services& services = window.RunServices();
  ParsedParms parsed = ParseParms(list);
  {
    // What the program's own options ask for decides its exit status.
    std::optional<CommandLineRun> own;
    if (from_command_line) own.emplace();
    std::string subject;
    for (const ParmStep& step : parsed.steps) RunStep(window, step, subject);
  }
  if (parsed.bad) {
    ShowMessage(services.ui, parsed.bad_link.empty() ? std::string(kParmUsage) : parsed.bad_link);
    if (from_command_line) services.end_program(EXIT_FAILURE);
  } else if (window.ParmNesting == 0 &&
             (HeadlessCommandLine(services.ui, parsed, from_command_line) ||
              ExitAfterParms(parsed, from_command_line, services.settings.ExitAfterCmdProc))) {
    // A command line run to its end says how it went, as the result panel would have.
    if (from_command_line && !window.Result().isEmpty())
      std::printf("%s\n", window.Result().toLocal8Bit().constData()), std::fflush(stdout);
    // Through the normal close, so open compositions are asked about.
    QTimer::singleShot(0, &window, &QWidget::close);
  }
}

void HandleParmEntry(TCorvelProg& window, const std::string& line) {
  // Queued before events are let in, so that lines arriving meanwhile queue after it.
  ++window.ParmNesting;
  window.PendingParms.push_back(line);
  QApplication::processEvents();
  if (window.ParmNesting > 1) window.MaximizeViewers = false;
  QApplication::processEvents();
  --window.ParmNesting;
  RunPendingParms(window);
}

void RunPendingParms(TCorvelProg& window) {
  // One line at a time: a line that arrives while another one's command runs waits.
  if (window.ParmNesting > 0 || draining || BusyGuard::Held()) return;
  draining = true;
  while (!window.PendingParms.empty()) {
    if (window.PendingParms.size() == 1) window.MaximizeViewers = true;
    std::string next = std::move(window.PendingParms.front());
    window.PendingParms.pop_front();
    std::optional<std::vector<std::string>> list = DecodeForwardedLine(next);
    if (list && list->empty()) ShowInFront(window);  // a plain second start
    else if (list) ProcessParmStrings(window, *list, false);
  }
  draining = false;
  window.MaximizeViewers = true;
  window.activateWindow();
}

}  // namespace corvelle
