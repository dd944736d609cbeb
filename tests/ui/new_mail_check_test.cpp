// The background check for new mail on a main window without start-up, against scripted
// POP3 servers: what it files is noted with its count and subjects, the timer follows the
// setting as it is at each tick, a check while a command runs waits for the next tick, and
// a failure is told in the result panel and noted once, with its reason, never in a box.

#include <QLabel>

#include "core/busy_guard.h"
#include "net/support/fake_server.h"
#include "ui/main/corvel_prog.h"
#include "ui/newmail/mail_tray.h"
#include "ui/newmail/new_mail_check.h"
#include "ui_support.h"

namespace corvelle {

using namespace testing;
using Texts = std::vector<std::string>;
using testing::FakeServer;

namespace {

constexpr int kLongMinuteMs = 3600000;  // a timer that never ticks during a test

// A POP3 session that hands over one message per subject and deletes each.
std::string Pop3Script(const Texts& subjects) {
  std::string list, retrievals;
  for (size_t i = 1; i <= subjects.size(); ++i) {
    const std::string n = std::to_string(i);
    list += "S: " + n + " 24\n";
    retrievals += "C: RETR " + n + "\nS: +OK\nS: Subject: " + subjects[i - 1] + "\nS: \nS: x\nS: .\nC: DELE " + n +
                  "\nS: +OK\n";
  }
  return "S: +OK ready\nC: CAPA\nS: -ERR\nC: USER ann\nS: +OK\nC: PASS secret\nS: +OK\nC: STAT\nS: +OK " +
         std::to_string(subjects.size()) + " 72\nC: CAPA\nS: -ERR\nC: UIDL\nS: -ERR\nC: LIST\nS: +OK\n" + list +
         "S: .\n" + retrievals + "C: QUIT\nS: +OK\nCLOSE\n";
}

}  // namespace

class NewMailCheckTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    env = std::make_unique<UiEnvironment>();
    QVERIFY(ShowMainWindow(*env, window));
  }
  void cleanup() {
    window.reset();
    env.reset();
  }

  // Four messages filed: one note, the count in its title and the first three subjects
  // (decoded) in its body; the result panel says what the command would; nothing asked.
  void filedMailIsNotedWithItsCountAndSubjects() {
    FakeServer server(Pop3Script({"Lunch", "=?UTF-8?Q?Caf=C3=A9?=", "", "Fourth"}));
    env->services.transport = [&server] { return server.NewTransport(); };
    NewMailCheck check(*window, kLongMinuteMs);
    QVERIFY(check.CheckNow());
    QVERIFY(server.Finished());
    QCOMPARE(ListNames(Mail("Inbox")).size(), size_t(4));
    QCOMPARE(window->Panel3->text(), QString("4 received messages, 0 errors."));
    QCOMPARE(env->notifier.notes.size(), size_t(1));
    QCOMPARE(env->notifier.notes[0].title, QString("4 new messages"));
    QCOMPARE(env->notifier.notes[0].body, QString::fromUtf8("Lunch\nCaf\xc3\xa9\n(no subject)"));
    QVERIFY(env->notifier.notes[0].on_click);
    QCOMPARE(env->ui.Texts(), Texts{});
    QCOMPARE(NewMessagesTitle(1), QString("1 new message"));
    QCOMPARE(TrayToolTip(4), QString("Corvelle: 4 new messages"));
  }

  // The interval is read at each tick: off, nothing happens; set to two minutes, the second
  // tick after it checks.
  void theTimerFollowsTheSettingAtEachTick() {
    FakeServer server(Pop3Script({"Tick"}));
    env->services.transport = [&server] { return server.NewTransport(); };
    NewMailCheck check(*window, 5);
    int ticks = 0;
    connect(&check, &NewMailCheck::ticked, [&] {
      ++ticks;
      if (server.Connections() > 0) env->services.settings.CheckMailMinutes = 0;  // one check only
    });
    QTRY_VERIFY(ticks >= 3);
    QCOMPARE(server.Connections(), 0);
    env->services.settings.CheckMailMinutes = 2;
    QTRY_COMPARE(env->notifier.notes.size(), size_t(1));
    QCOMPARE(env->notifier.notes[0].title, QString("1 new message"));
    QCOMPARE(server.Connections(), 1);
  }

  // While another command holds the busy guard the check does not run and says nothing;
  // the tick that comes after it checks.
  void aCheckWhileBusyWaitsForTheNextTick() {
    FakeServer server(Pop3Script({"Later"}));
    env->services.transport = [&server] { return server.NewTransport(); };
    env->services.settings.CheckMailMinutes = 1;
    NewMailCheck check(*window, kLongMinuteMs);
    window->ShowResult("shown before");
    {
      BusyGuard running_command;
      check.Tick();
      QVERIFY(!check.CheckNow());
    }
    QCOMPARE(server.Connections(), 0);
    QCOMPARE(window->Panel3->text(), QString("shown before"));
    check.Tick();
    QCOMPARE(server.Connections(), 1);
    QCOMPARE(env->notifier.notes.size(), size_t(1));
  }

  // A server that cannot be reached: the result panel gives the summary and the reason, a
  // note gives the reason once however often the check fails the same way, and no box shows.
  void aFailingServerIsToldOnceWithItsReason() {
    FakeServer server;
    server.SetConnectResult(10061);
    env->services.transport = [&server] { return server.NewTransport(); };
    NewMailCheck check(*window, kLongMinuteMs);
    for (int i = 0; i < 3; ++i) QVERIFY(check.CheckNow());
    QCOMPARE(env->notifier.notes.size(), size_t(1));
    QCOMPARE(env->notifier.notes[0].title, QString("Checking for new mail failed"));
    QVERIFY2(env->notifier.notes[0].body.contains("Connection refused"), qPrintable(env->notifier.notes[0].body));
    const QString panel = window->Panel3->text();
    QVERIFY2(panel.contains("Transmission error.") && panel.contains("Connection refused"), qPrintable(panel));
    QCOMPARE(env->ui.Texts(), Texts{});
  }

  // The tray counts the store's new mail when made and again after each command.
  void theTrayCountsNewMailAfterEachCommand() {
    WriteFile(Mail("Inbox/a.newmail"), "Subject: a\r\n\r\nx\r\n");
    MailTray tray(*window);
    QCOMPARE(tray.Count(), 1);
    QCOMPARE(tray.Icon().toolTip(), QString("Corvelle: 1 new message"));
    WriteFile(Mail("Inbox/b.newmail"), "Subject: b\r\n\r\nx\r\n");
    window->RunCommand(Command::Cascade);
    QCOMPARE(tray.Count(), 2);
    QCOMPARE(tray.Icon().toolTip(), QString("Corvelle: 2 new messages"));
  }

  // A refused login is told with what the program says of it and the server's answer, once.
  void aRefusedLoginIsTold() {
    FakeServer server("S: +OK ready\nC: CAPA\nS: -ERR\nC: USER ann\nS: +OK\nC: PASS secret\n"
                      "S: -ERR [AUTH] wrong password\nC: QUIT\nS: +OK\nCLOSE\n");
    env->services.transport = [&server] { return server.NewTransport(); };
    NewMailCheck check(*window, kLongMinuteMs);
    QVERIFY(check.CheckNow());
    QCOMPARE(env->notifier.notes.size(), size_t(1));
    QVERIFY2(env->notifier.notes[0].body.contains("Invalid password"), qPrintable(env->notifier.notes[0].body));
    QVERIFY2(env->notifier.notes[0].body.contains("The mail server refused PASS: -ERR [AUTH] wrong password"),
             qPrintable(env->notifier.notes[0].body));
    QVERIFY(!env->notifier.notes[0].body.contains("secret"));
    QVERIFY(window->Panel3->text().contains("wrong password"));
  }

 private:
  std::string Mail(const std::string& relative) const { return env->MailDir() + relative; }

  std::unique_ptr<UiEnvironment> env;
  std::unique_ptr<TCorvelProg> window;
};

}  // namespace corvelle

QTEST_MAIN(corvelle::NewMailCheckTest)
#include "new_mail_check_test.moc"
