// Typing in a composition window while the background check for new mail runs, offscreen.
// Keys are due at a steady rate (one every 10 ms); a key's latency is the time from when it
// was due to when the composition's editor had handled it: a key waits while the check
// holds the interface thread between two of its event passes. The same number of keys is
// typed while one check (NewMailCheck::CheckNow) files what the POP3 server holds (left on
// the server, so each round into a fresh mail directory gets all of it), then as long with
// nothing running. Prints median, 99th percentile and maximum of both over ROUNDS rounds,
// in milliseconds.
//
//   new_mail_typing HOST POP3_PORT USER PASSWORD WORK_DIR ROUNDS
//
// WORK_DIR receives a mail directory per round; HOME should be a scratch folder.
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/settings/settings.h"
#include "core/store/message_text.h"
#include "core/user_interface.h"
#include "platform/paths.h"
#include "ui/common/notifier.h"
#include "ui/main/corvel_prog.h"
#include "ui/main/services.h"
#include "ui/newmail/new_mail_check.h"
#include "ui/viewer/address_actions.h"
#include "ui/viewer/mail_viewer.h"

namespace corvelle {
namespace {

constexpr int kKeyPeriodMs = 10;

struct CountingNotifier : Notifier {
  void Notify(const QString& title, const QString&, std::function<void()>) override {
    std::printf("note: %s\n", title.toLocal8Bit().constData());
  }
};

// Types one key into `editor` every kKeyPeriodMs from its start; each key's latency is kept.
class Typist {
 public:
  explicit Typist(QWidget* editor) : editor_(editor) {
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Type(); });
  }
  void Start() {
    latencies_.clear();
    typed_ = 0;
    clock_.start();
    timer_.start(1);
  }
  void Stop() { timer_.stop(); }
  std::vector<double>& Latencies() { return latencies_; }

 private:
  // Every key that has come due is typed now, each measured from when it was due.
  void Type() {
    const qint64 now_ns = clock_.nsecsElapsed();
    while (static_cast<qint64>(typed_) * kKeyPeriodMs * 1000000 <= now_ns) {
      const qint64 due_ns = static_cast<qint64>(typed_) * kKeyPeriodMs * 1000000;
      const QChar letter('a' + static_cast<int>(typed_ % 26));
      QKeyEvent press(QEvent::KeyPress, Qt::Key_A + static_cast<int>(typed_ % 26), Qt::NoModifier, letter);
      QKeyEvent release(QEvent::KeyRelease, Qt::Key_A + static_cast<int>(typed_ % 26), Qt::NoModifier, letter);
      QApplication::sendEvent(editor_, &press);
      QApplication::sendEvent(editor_, &release);
      latencies_.push_back(static_cast<double>(clock_.nsecsElapsed() - due_ns) / 1e6);
      ++typed_;
    }
  }

  QWidget* editor_;
  QTimer timer_;
  QElapsedTimer clock_;
  std::vector<double> latencies_;
  size_t typed_ = 0;
};

void Report(const char* label, std::vector<double> values) {
  if (values.empty()) return;
  std::sort(values.begin(), values.end());
  auto at = [&](double q) { return values[std::min(values.size() - 1, static_cast<size_t>(q * values.size()))]; };
  std::printf("%-28s keys %5zu  median %7.3f ms  p99 %7.3f ms  max %7.3f ms\n", label, values.size(), at(0.5),
              at(0.99), values.back());
}

// Runs the event loop until `done` is true.
void Wait(const bool& done) {
  while (!done) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

}  // namespace
}  // namespace corvelle

int main(int argc, char** argv) {
  using namespace corvelle;
  if (argc != 7) {
    std::fprintf(stderr, "usage: new_mail_typing HOST POP3_PORT USER PASSWORD MAIL_DIR ROUNDS\n");
    return 2;
  }
  const std::string base = argv[5];
  const int rounds = std::max(1, std::atoi(argv[6]));
  QApplication app(argc, argv);
  Settings settings;
  settings.MailDirectory = base + "/round-0/";
  settings.LeaveMailOnServer = true;
  settings.DefaultMailFolder = "Inbox";
  settings.MailServer = argv[1];
  settings.MailPort = argv[2];
  settings.UserName = argv[3];
  settings.PassWord = EncodePassword(argv[4]);
  settings.SendServer = argv[1];
  settings.SendPort = "25";
  settings.MyName = "Bench";
  settings.MailAddress = "bench@example.org";
  settings.Secure.ClearPasswordServers = {std::string(argv[1]) + ":" + argv[2]};
  for (const char* folder : {"Inbox", "Postponed", "Sent Mail", "Spool", "System/Signatures"})
    MakeFolders(settings.MailDirectory + folder);

  SilentUserInterface ui;
  AddressActions no_address_actions;
  CountingNotifier notifier;
  Services services = DesktopServices(ui, settings, no_address_actions, &notifier);
  TCorvelProg window(services);
  window.resize(900, 700);
  window.show();
  TMailViewer* viewer = window.CreateMailViewer(NewMessageName(0), "bob@example.org", "", "");
  if (!viewer) return 1;
  viewer->MailText->setFocus();
  QApplication::processEvents();

  NewMailCheck check(window, 3600000);  // checked by hand below, not by its timer
  Typist typist(viewer->MailText);
  std::vector<double> idle, during;
  for (int round = 0; round < rounds; ++round) {
    // A fresh mail directory each round: the mail left on the server is all new to it.
    settings.MailDirectory = base + "/round-" + std::to_string(round) + "/";
    for (const char* folder : {"Inbox", "Postponed", "Sent Mail", "Spool", "System/Signatures"})
      MakeFolders(settings.MailDirectory + folder);

    // While the check runs, from its start to its end.
    bool checked = false;
    qint64 check_start = 0;
    QElapsedTimer clock;
    clock.start();
    typist.Start();
    QTimer::singleShot(200, [&] {
      check_start = clock.nsecsElapsed();
      check.CheckNow();
      checked = true;
    });
    Wait(checked);
    typist.Stop();
    const double check_ms = static_cast<double>(clock.nsecsElapsed() - check_start) / 1e6;
    const size_t before = 200 / kKeyPeriodMs;  // typed before the check began
    if (typist.Latencies().size() > before)
      during.insert(during.end(), typist.Latencies().begin() + before, typist.Latencies().end());

    // As long again with nothing running.
    bool idle_done = false;
    typist.Start();
    QTimer::singleShot(static_cast<int>(check_ms) + 200, [&] { idle_done = true; });
    Wait(idle_done);
    typist.Stop();
    if (typist.Latencies().size() > before)
      idle.insert(idle.end(), typist.Latencies().begin() + before, typist.Latencies().end());
    std::printf("round %d: check %.0f ms, %s\n", round + 1, check_ms, window.Result().toLocal8Bit().constData());
  }
  Report("idle", idle);
  Report("during the background check", during);
  viewer->AskOnClose = false;
  return 0;
}
