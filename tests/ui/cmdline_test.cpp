// Options handed to a running instance over its local socket; the own command line.

#include <QLocalSocket>

#include "ui/cmdline/instance_server.h"
#include "ui/cmdline/parm_processing.h"
#include "ui/main/corvel_prog.h"
#include "ui/viewer/mail_viewer.h"
#include "ui_support.h"

namespace corvelle {

using namespace testing;

class CmdlineTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    env = std::make_unique<UiEnvironment>();
    runtime = std::make_unique<ScopedEnv>("XDG_RUNTIME_DIR", env->home.path());
    for (const char* name : {"a", "b", "c"}) WriteFile(Mail(name), std::string("Subject: ") + name + "\r\n\r\n");
    window = std::make_unique<TCorvelProg>();
    window->show();
    server = std::make_unique<InstanceServer>([this](const std::string& line) { HandleParmEntry(*window, line); });
    QVERIFY(server->Listen());
  }
  void cleanup() {
    server.reset();  // its handler uses the window
    window.reset();
    runtime.reset();  // before the folder it names goes
    env.reset();
  }

  void forwardedLinesOpenTheirFilesInArrivalOrder() {
    QVERIFY(ForwardToRunningInstance({"/O", "\"" + Mail("a") + "\""}));
    QTRY_COMPARE(window->MessageWindowCount(), 1);
    QCOMPARE(window->ActiveViewer()->FileName, Mail("a"));
    // A burst: every window but the last opens minimized.
    for (const char* name : {"b", "c"}) QVERIFY(ForwardToRunningInstance({"open", Mail(name)}));
    QTRY_COMPARE(window->MessageWindowCount(), 3);
    auto viewers = window->Viewers();
    QCOMPARE(viewers[2]->FileName, Mail("c"));
    QVERIFY(viewers[1]->parentWidget()->isMinimized());
    QVERIFY(viewers[2]->parentWidget()->isMaximized());
    QVERIFY(env->ui.boxes.empty());
  }

  void badOptionShowsUsageAndDropsOnlyThatLine() {
    QVERIFY(ForwardToRunningInstance({"/o", Mail("a"), "/x", "/o", Mail("b")}));
    QTRY_COMPARE(env->ui.Texts(), std::vector<std::string>{kParmUsage});
    QCOMPARE(window->MessageWindowCount(), 1);  // the option before the bad one ran
    QVERIFY(env->end_codes.empty());
    QVERIFY(ForwardToRunningInstance({"/n", "bob@example.org"}));
    QTRY_COMPARE(window->MessageWindowCount(), 2);
    // The program's own command line ends on a bad option.
    window->DoParms({"/n"});
    QCOMPARE(env->end_codes, std::vector<int>{EXIT_FAILURE});
    QCOMPARE(env->ui.Texts(), (std::vector<std::string>{kParmUsage, kParmUsage}));
  }

  void overlongLineIsRefusedAndTheSocketIsNeverTakenOver() {
    QLocalSocket socket;
    socket.connectToServer(InstanceSocketName());
    QVERIFY(socket.waitForConnected(2000));
    socket.write(QByteArray("open\x01", 5) + QByteArray(70000, 'x') + QByteArray(1, '\0'));
    QTRY_COMPARE(socket.state(), QLocalSocket::UnconnectedState);
    QVERIFY(ForwardToRunningInstance({"/o", Mail("a")}));
    QTRY_COMPARE(window->MessageWindowCount(), 1);
    QVERIFY(env->ui.boxes.empty());
    InstanceServer second([](const std::string&) {});
    QVERIFY(!second.Listen());  // a live instance keeps its socket
    server.reset();
    WriteFile(InstanceSocketName().toStdString(), "");  // left over from a run that ended
    QVERIFY(!ForwardToRunningInstance({"/o", Mail("b")}));
    QVERIFY(InstanceServer([](const std::string&) {}).Listen());
  }

  void exitAfterCommandsOnlyWhenNoWindowOpened() {
    MailSettings.ExitAfterCmdProc = "1";
    window->DoParms({"/o", Mail("a")});
    QTest::qWait(20);
    QVERIFY(window->isVisible());
    window->DoParms({"/j", "x"});
    QTRY_VERIFY(!window->isVisible());
  }

 private:
  std::string Mail(const char* name) const { return env->MailDir() + "Inbox/" + name + ".mail"; }

  std::unique_ptr<UiEnvironment> env;
  std::unique_ptr<ScopedEnv> runtime;
  std::unique_ptr<TCorvelProg> window;
  std::unique_ptr<InstanceServer> server;
};

}  // namespace corvelle

QTEST_MAIN(corvelle::CmdlineTest)
#include "cmdline_test.moc"
