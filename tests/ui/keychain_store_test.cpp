// The keychain store against a real Secret Service: a private session bus and a keyring
// daemon of its own, in a fresh home under a temporary folder, unlocked for the test and
// killed after it; and with no bus at all, where nothing answers and nothing is written.

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <csignal>

#include "core/signin/keyring_passwords.h"
#include "ui/signin/sign_in_services.h"
#include "ui_support.h"

namespace corvelle {

using namespace testing;

namespace {

constexpr const char* kBusName = "keychain-test";

// A session bus that activates nothing (no service folders): only the daemon started here
// answers on it.
std::string BusConfig(const std::string& folder) {
  return "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
         " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
         "<busconfig><type>session</type><listen>unix:dir=" + folder + "</listen><auth>EXTERNAL</auth>"
         "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/><allow eavesdrop=\"true\"/>"
         "<allow own=\"*\"/></policy></busconfig>\n";
}

}  // namespace

// dbus-daemon and gnome-keyring-daemon in the foreground, each a QProcess of this test, so
// that only they are killed. The keyring daemon reads its unlock password on its input and
// writes to files, never to a pipe nobody reads.
class PrivateKeyring {
 public:
  PrivateKeyring() {
    for (const char* folder : {"run", "config", "data"}) MakeFolders(home / folder);
    QFile::setPermissions(QString::fromStdString(home / "run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    WriteFile(home / "bus.conf", BusConfig(home / "run"));
  }
  ~PrivateKeyring() {
    QDBusConnection::disconnectFromBus(kBusName);
    for (QProcess* process : {&keyring_, &bus_}) {
      process->kill();
      process->waitForFinished(10000);
    }
  }

  // Starts both and waits (bounded) until the keyring owns its name on the bus; false with
  // `why` otherwise. Sets DBUS_SESSION_BUS_ADDRESS of this process to the bus.
  bool Start(QString& why) {
    auto fail = [&why](const QString& reason) {
      why = reason;
      return false;
    };
    bus_.setStandardErrorFile(QString::fromStdString(home / "bus.err"));
    bus_.start("dbus-daemon", {"--config-file=" + QString::fromStdString(home / "bus.conf"), "--nofork",
                               "--print-address=1"});
    if (!bus_.waitForStarted(10000) || !QTest::qWaitFor([this] { return bus_.canReadLine(); }, 10000))
      return fail("dbus-daemon did not start: " + bus_.errorString());
    address_ = QString::fromUtf8(bus_.readLine()).trimmed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", address_.toUtf8());

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", QString::fromStdString(home.path()));
    env.insert("XDG_RUNTIME_DIR", QString::fromStdString(home / "run"));
    env.insert("XDG_CONFIG_HOME", QString::fromStdString(home / "config"));
    env.insert("XDG_DATA_HOME", QString::fromStdString(home / "data"));
    keyring_.setProcessEnvironment(env);
    keyring_.setStandardOutputFile(QString::fromStdString(home / "keyring.out"));
    keyring_.setStandardErrorFile(QString::fromStdString(home / "keyring.err"));
    keyring_.start("gnome-keyring-daemon", {"--foreground", "--unlock", "--components=secrets"});
    if (!keyring_.waitForStarted(10000))
      return fail("gnome-keyring-daemon did not start: " + keyring_.errorString());
    keyring_.write("unlock for the test");
    keyring_.closeWriteChannel();

    QDBusConnection bus = QDBusConnection::connectToBus(address_, kBusName);
    auto owned = [&bus] { return bus.interface()->isServiceRegistered("org.freedesktop.secrets").value(); };
    if (!bus.isConnected() || !QTest::qWaitFor(owned, 10000))
      return fail("the keyring is not on the bus: " + QString::fromStdString(ReadFile(home / "keyring.err")));
    return true;
  }

  // Stops the keyring daemon: it keeps its name on the bus and answers nothing.
  void Freeze() { ::kill(static_cast<pid_t>(keyring_.processId()), SIGSTOP); }

  TempDir home;

 private:
  QProcess bus_, keyring_;
  QString address_;
};

class KeychainStoreTest : public QObject {
  Q_OBJECT

 private slots:
  // First: the bus library keeps the first connection it makes for the whole process.
  void withNoBusNothingAnswersAndNothingIsWritten() {
    TempDir config;
    ScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + config.path() + "no-bus");
    ScopedEnv config_env("XDG_CONFIG_HOME", config.path());
    KeychainStore store;
    std::string secret;
    QVERIFY(!store.Answers());
    QVERIFY(store.Write("pop3 ann@pop.example.org", "secret") == SecretStore::Result::kUnavailable);
    QVERIFY(store.Read("pop3 ann@pop.example.org", secret) == SecretStore::Result::kUnavailable);
    QCOMPARE(ListNames(config.path()), std::vector<std::string>{});

    UiEnvironment env;
    env.services.settings.PassWord = EncodePassword("secret");
    auto sign_in = InstallSignIn(env.services);
    QVERIFY(!env.services.secrets && env.services.credentials);
    Credential credential;
    std::string why;
    QVERIFY(env.services.credentials->Get(env.ui, {}, credential, why) && credential.secret == "secret");
  }

  void secretsGoInComeBackAndGoAway() {
    PrivateKeyring keyring;
    QString why;
    QVERIFY2(keyring.Start(why), qPrintable(why));
    const std::string key = "smtp bob@smtp.example.org", secret("s\0\xe9\n\xff", 5);
    std::string read;
    KeychainStore store;
    QVERIFY(store.Answers());
    QVERIFY(store.Read(key, read) == SecretStore::Result::kMissing);
    QVERIFY(store.Write(key, secret) == SecretStore::Result::kDone);
    QVERIFY(KeychainStore().Read(key, read) == SecretStore::Result::kDone);
    QVERIFY2(read == secret, "the bytes came back changed");
    QVERIFY(store.Remove(key) == SecretStore::Result::kDone);
    QVERIFY(store.Read(key, read) == SecretStore::Result::kMissing);

    UiEnvironment env;
    auto sign_in = InstallSignIn(env.services);
    QVERIFY(env.services.secrets == &sign_in->keychain);

    keyring.Freeze();
    KeychainStore waiting(300);
    QVERIFY(!waiting.Answers());
    QVERIFY(waiting.Write(key, secret) == SecretStore::Result::kUnavailable);
  }
};

}  // namespace corvelle

QTEST_MAIN(corvelle::KeychainStoreTest)
#include "keychain_store_test.moc"
