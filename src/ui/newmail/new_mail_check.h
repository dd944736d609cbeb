#pragma once
// The background check for new mail: every so many minutes (Settings::CheckMailMinutes,
// read again at each tick, so the setup dialog's change counts without a restart) it runs
// Get / Send All as the command does (TransferRun), but quietly: no transfer dialog, no
// boxes (QuietInterface). It takes the busy guard and the mail directory's lock like a
// command; a check that comes while another command runs or a modal dialog is open is left
// for the next tick.
//
// Never silent: the result panel shows the run's summary as the command's would, a failure
// adds its reason there and raises a note (once per distinct reason, not at every check),
// and filed mail raises a note whose click brings the mailbox window up (ShowMailbox).

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <string>
#include <vector>

namespace corvelle {

class TCorvelProg;

// The title of the note on new mail: "1 new message", "3 new messages".
QString NewMessagesTitle(int count);
// Its body: the first three subjects, one a line ("(no subject)" for an empty one).
QString NewMessagesBody(const std::vector<std::string>& subjects);

class NewMailCheck : public QObject {
  Q_OBJECT
 public:
  // Checks on `frame`'s services and notes through its notifier. The timer ticks every
  // `minute_ms` milliseconds (a minute; tests shorten it) from now on.
  explicit NewMailCheck(TCorvelProg& frame, int minute_ms = 60000);

  // One tick: once as many ticks as the settings' minutes have passed since the last check,
  // checks (CheckNow). Does nothing while the check is off.
  void Tick();

  // Checks now. False when it did not run: another command held the busy guard, a modal
  // dialog was open, or another process held the mail directory; the next tick tries again.
  bool CheckNow();

 signals:
  // After each tick, whether it checked or not (the tray counts the new mail again).
  void ticked();

 private:
  void Check();
  void Report(bool ok, const std::vector<std::string>& reasons, const std::vector<std::string>& filed);

  QPointer<TCorvelProg> frame_;
  QTimer timer_;
  int minutes_waited_ = 0;
  std::string last_failure_;  // the reason last noted; empty after a check that went well
};

}  // namespace corvelle
