// Options handed to a running instance over its local socket; the own command line.

#include <QFileInfo>
#include <QLocalSocket>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "ui/cmdline/instance_server.h"
#include "ui/cmdline/parm_processing.h"
#include "ui/main/corvel_prog.h"
#include "ui/viewer/mail_viewer.h"
#include "ui_support.h"

namespace corvelle {

using namespace testing;

namespace {

// A listening socket at `path` of a process that runs as the user "nobody": it accepts one
// connection and tells how many bytes came over it.
class ForeignListener {
 public:
  explicit ForeignListener(const std::string& path) {
    address_.sun_family = AF_UNIX;
    std::snprintf(address_.sun_path, sizeof address_.sun_path, "%s", path.c_str());
    int ready[2];
    if (::pipe(ready) != 0 || ::pipe(result_) != 0) return;
    child_ = ::fork();
    if (child_ == 0) Listen(ready[1]);
    ::close(ready[1]);
    ::close(result_[1]);
    char byte = 0;
    ready_ = ::read(ready[0], &byte, 1) == 1 && byte == 'y';
    ::close(ready[0]);
  }
  ~ForeignListener() {
    if (child_ <= 0) return;
    ::kill(child_, SIGKILL);
    ::waitpid(child_, nullptr, 0);
    ::close(result_[0]);
  }
  bool Ready() const { return ready_; }
  // The bytes the one connection carried; -1 when none came within the bound.
  int BytesReceived() {
    int count = -1;
    return ::read(result_[0], &count, sizeof count) == sizeof count ? count : -1;
  }

 private:
  [[noreturn]] void Listen(int ready) {
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    bool ok = ::setgid(65534) == 0 && ::setuid(65534) == 0 &&
              ::bind(fd, reinterpret_cast<sockaddr*>(&address_), sizeof address_) == 0 && ::listen(fd, 4) == 0;
    char byte = ok ? 'y' : 'n';
    if (::write(ready, &byte, 1) != 1 || !ok) ::_exit(1);
    // Bounded: a connection within 20 s, and its end within 20 s after that.
    pollfd waiting{fd, POLLIN, 0};
    int count = -1;
    if (::poll(&waiting, 1, 20000) == 1) {
      int connection = ::accept(fd, nullptr, nullptr);
      count = 0;
      char buffer[256];
      pollfd reading{connection, POLLIN, 0};
      ssize_t got = 0;
      while (::poll(&reading, 1, 20000) == 1 && (got = ::read(connection, buffer, sizeof buffer)) > 0)
        count += static_cast<int>(got);
    }
    if (::write(result_[1], &count, sizeof count) != sizeof count) ::_exit(1);
    ::_exit(0);
  }

  sockaddr_un address_{};
  pid_t child_ = -1;
  int result_[2] = {-1, -1};
  bool ready_ = false;
};

}  // namespace

class CmdlineTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    env = std::make_unique<UiEnvironment>();
    runtime = std::make_unique<ScopedEnv>("XDG_RUNTIME_DIR", env->home.path());
    for (const char* name : {"a", "b", "c"}) WriteFile(Mail(name), std::string("Subject: ") + name + "\r\n\r\n");
    window = std::make_unique<TCorvelProg>(env->services);
    window->show();
    server = std::make_unique<InstanceServer>(env->ui, [this](const std::string& line) { HandleParmEntry(*window, line); });
    QVERIFY(server->Listen());
  }
  void cleanup() {
    server.reset();  // its handler uses the window
    window.reset();
    runtime.reset();  // before the folder it names goes
    env.reset();
  }

  void forwardedLinesOpenTheirFilesInArrivalOrder() {
    QVERIFY(ForwardToRunningInstance(env->ui, {"/O", "\"" + Mail("a") + "\""}));
    QTRY_COMPARE(window->MessageWindowCount(), 1);
    QCOMPARE(window->ActiveViewer()->FileName, Mail("a"));
    // A burst: every window but the last opens minimized.
    for (const char* name : {"b", "c"}) QVERIFY(ForwardToRunningInstance(env->ui, {"open", Mail(name)}));
    QTRY_COMPARE(window->MessageWindowCount(), 3);
    auto viewers = window->Viewers();
    QCOMPARE(viewers[2]->FileName, Mail("c"));
    QVERIFY(viewers[1]->parentWidget()->isMinimized());
    QVERIFY(viewers[2]->parentWidget()->isMaximized());
    QVERIFY(env->ui.boxes.empty());
  }

  void badOptionShowsUsageAndDropsOnlyThatLine() {
    QVERIFY(ForwardToRunningInstance(env->ui, {"/o", Mail("a"), "/x", "/o", Mail("b")}));
    QTRY_COMPARE(env->ui.Texts(), std::vector<std::string>{kParmUsage});
    QCOMPARE(window->MessageWindowCount(), 1);  // the option before the bad one ran
    QVERIFY(env->end_codes.empty());
    QVERIFY(ForwardToRunningInstance(env->ui, {"/n", "bob@example.org"}));
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
    QVERIFY(ForwardToRunningInstance(env->ui, {"/o", Mail("a")}));
    QTRY_COMPARE(window->MessageWindowCount(), 1);
    QVERIFY(env->ui.boxes.empty());
    InstanceServer second(env->ui, [](const std::string&) {});
    QVERIFY(!second.Listen());  // a live instance keeps its socket
    server.reset();
    WriteFile(InstanceSocketName().toStdString(), "");  // left over from a run that ended
    QVERIFY(!ForwardToRunningInstance(env->ui, {"/o", Mail("b")}));
    QVERIFY(InstanceServer(env->ui, [](const std::string&) {}).Listen());
  }

  // Without a runtime folder the socket goes into a private folder under the cache folder,
  // never a shared one; another settings file (a second profile) has an instance of its own.
  void socketIsPrivateAndKeyedBySettingsFile() {
    const QString first = InstanceSocketName();
    QVERIFY(first.startsWith(QString::fromStdString(env->home.path())));
    ScopedEnv no_runtime("XDG_RUNTIME_DIR", "");
    ScopedEnv cache("XDG_CACHE_HOME", env->home.path() + "cache");
    const QString name = InstanceSocketName();
    QCOMPARE(QFileInfo(name).absolutePath(), QString::fromStdString(env->home.path() + "cache/corvelle"));
    struct stat folder {};
    QCOMPARE(::stat((env->home.path() + "cache/corvelle").c_str(), &folder), 0);
    QCOMPARE(folder.st_mode & 0777, 0700u);
    ScopedEnv other_profile("XDG_CONFIG_HOME", env->home.path() + "other");
    QVERIFY(InstanceSocketName() != name);
    // A folder others may enter is no place for it.
    ::chmod((env->home.path() + "cache/corvelle").c_str(), 0755);
    QVERIFY(InstanceSocketName().isEmpty());
  }

  // A socket of another user's: nothing is written to a listener that runs as someone else,
  // and a socket file another user owns is never used nor removed, and is reported.
  void foreignSocketIsNeverUsed() {
    if (::geteuid() != 0) QSKIP("needs root to run a listener as another user");
    char folder_template[] = "/tmp/corvelle-foreign-XXXXXX";
    QVERIFY(::mkdtemp(folder_template));
    const std::string folder = folder_template;
    ::chmod(folder.c_str(), 0777);
    const std::string path = folder + "/corvelle.socket";
    ForeignListener listener(path);
    QVERIFY(listener.Ready());
    env->ui.boxes.clear();
    QVERIFY(!InstanceServer(env->ui, [](const std::string&) {}).Listen(QString::fromStdString(path)));
    QCOMPARE(env->ui.boxes.size(), size_t{1});
    QVERIFY(env->ui.boxes[0].text.find(path) != std::string::npos);
    QVERIFY(QFileInfo::exists(QString::fromStdString(path)));
    QVERIFY(!ForwardToRunningInstance(env->ui, {"/g"}, QString::fromStdString(path)));
    // The file made ours, the listener still another user's: its uid is checked too.
    QCOMPARE(::lchown(path.c_str(), ::getuid(), ::getgid()), 0);
    QVERIFY(!ForwardToRunningInstance(env->ui, {"/o", Mail("a")}, QString::fromStdString(path)));
    QCOMPARE(listener.BytesReceived(), 0);
    QVERIFY(env->ui.boxes.back().text.find("runs as another user") != std::string::npos);
    std::filesystem::remove_all(folder);
  }

  // A plain second start brings a minimized window back.
  void plainSecondStartRestoresTheWindow() {
    window->showMinimized();
    QTRY_VERIFY(window->isMinimized());
    QVERIFY(ForwardToRunningInstance(env->ui, {}));
    QTRY_VERIFY(!window->isMinimized());
    QVERIFY(env->ui.boxes.empty());
  }

  void exitAfterCommandsOnlyWhenNoWindowOpened() {
    MailSettings.ExitAfterCmdProc = true;
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
#include "support/test_settings.h"
