// The Help menu: the About box, and the comment and problem-report messages to the
// support address.

#include <QPlainTextEdit>
#include <QPushButton>
#include <QLineEdit>
#include <QScrollBar>
#include <QTextCursor>

#include "core/compose/problem_report.h"
#include "core/settings/settings.h"
#include "core/store/message_text.h"
#include "core/user_interface.h"
#include "ui/common/qt_text.h"
#include "ui/help/about_box.h"
#include "ui/main/commands.h"
#include "ui/main/corvel_prog.h"
#include "ui/main/features.h"
#include "ui/viewer/mail_viewer.h"

namespace corvelle {
namespace {

// A new composition to the support address whose subject and recipients are fixed. The
// window made here is the one changed, never whichever happens to be active.
TMailViewer* SupportMessage(TCorvelProg& window, const Services& services, const char* subject) {
  TMailViewer* viewer = window.CreateMailViewer(NewMessageName(window.MessageWindowCount()),
                                                services.settings.SupportAddress, "", subject);
  if (!viewer) return nullptr;
  viewer->ToAddrBtn->setEnabled(false);
  viewer->CCAddrBtn->setEnabled(false);
  viewer->SubjectLine->setReadOnly(true);
  return viewer;
}

void SendaComment1Click(TCorvelProg& window, Services& services) {
  if (TMailViewer* viewer = SupportMessage(window, services, kCommentSubject)) viewer->MailText->setFocus();
}

// The report replaces the text (and the signature); the caret goes to the answer of the
// first question.
void ReportaProblem1Click(TCorvelProg& window, Services& services) {
  TMailViewer* viewer = SupportMessage(window, services, kProblemSubject);
  if (!viewer) return;
  bool log_unreadable = false;
  std::vector<std::string> lines = ProblemReportLines(services.settings, log_unreadable);
  if (log_unreadable) ShowMessage(services.ui, "Could not open network log.");
  QStringList text;
  for (const std::string& line : lines) text << TextToQt(line);
  viewer->MailText->setPlainText(text.join('\n'));
  QTextCursor cursor = viewer->MailText->textCursor();
  cursor.movePosition(QTextCursor::End);
  cursor.movePosition(QTextCursor::Up, QTextCursor::MoveAnchor, 6);
  viewer->MailText->setTextCursor(cursor);
  QScrollBar* bar = viewer->MailText->verticalScrollBar();
  bar->setValue(bar->value() - 4);
  viewer->MailText->setFocus();
}

}  // namespace

void RegisterHelpCommands(CommandRegistry& registry, Services& services) {
  registry.Register(Command::About, [](TCorvelProg& window) {
    TAboutBox box(&window);
    box.exec();
  });
  registry.Register(Command::SendComment, [&services](TCorvelProg& window) { SendaComment1Click(window, services); });
  registry.Register(Command::ReportProblem,
                    [&services](TCorvelProg& window) { ReportaProblem1Click(window, services); });
}

}  // namespace corvelle
