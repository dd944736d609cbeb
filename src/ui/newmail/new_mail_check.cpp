#include "ui/newmail/new_mail_check.h"

#include <QApplication>
#include <algorithm>

#include "core/busy_guard.h"
#include "net/transfer/transfer_run.h"
#include "ui/common/notifier.h"
#include "ui/common/qt_text.h"
#include "ui/common/qt_user_interface.h"
#include "ui/mailbox/mailbox_window.h"
#include "ui/main/corvel_prog.h"
#include "ui/main/guarded_command.h"
#include "ui/newmail/quiet_interface.h"

namespace corvelle {
namespace {

constexpr size_t kNoteLines = 3;

// What the user is told of a failure: each reason once, in the order they came.
std::vector<std::string> Distinct(const std::vector<std::string>& reasons) {
  std::vector<std::string> distinct;
  for (const std::string& reason : reasons)
    if (std::find(distinct.begin(), distinct.end(), reason) == distinct.end()) distinct.push_back(reason);
  return distinct;
}

QString Lines(const std::vector<std::string>& texts) {
  QStringList lines;
  for (size_t i = 0; i < texts.size() && i < kNoteLines; ++i) lines << QtUserInterface::DisplayText(texts[i]);
  return lines.join('\n');
}

}  // namespace

QString NewMessagesTitle(int count) {
  return count == 1 ? QString("1 new message") : QString("%1 new messages").arg(count);
}

QString NewMessagesBody(const std::vector<std::string>& subjects) {
  std::vector<std::string> shown;
  for (size_t i = 0; i < subjects.size() && i < kNoteLines; ++i)
    shown.push_back(subjects[i].empty() ? "(no subject)" : subjects[i]);
  return Lines(shown);
}

NewMailCheck::NewMailCheck(TCorvelProg& frame, int minute_ms) : frame_(&frame) {
  connect(&timer_, &QTimer::timeout, this, &NewMailCheck::Tick);
  timer_.start(minute_ms);
}

void NewMailCheck::Tick() {
  const int minutes = frame_ ? frame_->RunServices().settings.CheckMailMinutes : 0;
  if (minutes <= 0) minutes_waited_ = 0;
  else if (++minutes_waited_ >= minutes && CheckNow()) minutes_waited_ = 0;
  emit ticked();
}

bool NewMailCheck::CheckNow() {
  // Refused before the guard is asked: a refused command would say "Busy" in the panel. A
  // modal dialog (the setup dialog, a question) may be changing what the check would use.
  if (!frame_ || BusyGuard::Held() || QApplication::activeModalWidget()) return false;
  QuietInterface quiet;
  const Services services = frame_->RunServices().ShownOn(quiet, 0);
  bool ran = false;
  Guarded(services, [&](TCorvelProg& frame, const CommandArgs&) {
    ran = true;
    std::string summary;
    TransferContext context = services.Transfer(quiet);
    if (!context.disk_flush) context.disk_flush = quiet.SyncWhileResponsive();
    TransferRun run(context, nullptr, nullptr, [&frame, &summary](const std::string& text) {
      summary = text;
      frame.ShowResult(TextToQt(text));
    });
    const bool ok = run.GetSendAll();
    // The servers' own words first, then what the boxes would have said.
    std::vector<std::string> reasons;
    for (const TMailTransfer* component : {static_cast<const TMailTransfer*>(&run.GetMail1),
                                           static_cast<const TMailTransfer*>(&run.SendMail1)})
      reasons.insert(reasons.end(), component->Notes().begin(), component->Notes().end());
    if (!run.GetMail1.LastError.empty()) reasons.push_back("Transfer error: " + run.GetMail1.LastError);
    reasons.insert(reasons.end(), quiet.Kept().begin(), quiet.Kept().end());
    // The tree that could not be made says nothing of its own.
    if (!ok && reasons.empty())
      reasons.push_back(summary.empty() ? "The mail directory or one of its folders could not be made." : summary);
    Report(ok, Distinct(reasons), run.MailFilter1.FiledSubjects());
  })(*frame_, {});
  return ran;
}

void NewMailCheck::Report(bool ok, const std::vector<std::string>& reasons, const std::vector<std::string>& filed) {
  TCorvelProg& frame = *frame_;
  Notifier& notifier = *frame.RunServices().notifier;
  QPointer<TCorvelProg> shown = frame_;
  if (!filed.empty())
    notifier.Notify(NewMessagesTitle(static_cast<int>(filed.size())), NewMessagesBody(filed), [shown] {
      if (shown) ShowMailbox(*shown, shown->RunServices());
    });
  if (ok) {
    last_failure_.clear();
    return;
  }
  frame.ShowResult((frame.Result() + ' ' + QtUserInterface::DisplayText(reasons.front())).trimmed());
  std::string failure;
  for (const std::string& reason : reasons) failure += reason + '\n';
  if (failure == last_failure_) return;  // told already
  last_failure_ = failure;
  notifier.Notify("Checking for new mail failed", Lines(reasons), [shown] {
    if (shown) ShowMailbox(*shown, shown->RunServices());
  });
}

}  // namespace corvelle
