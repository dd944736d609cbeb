// The desktop's notes over the session bus: a private bus with a scripted notification
// service in this process. The note reaches the service with its title, its body (escaped
// for a service that reads markup) and a "default" action, and the service's ActionInvoked
// for that note runs the click once.

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QTest>

#include "ui/common/desktop_notifier.h"

namespace corvelle {

// The notification service as a desktop runs one, reduced to what the program uses.
class FakeNotifications : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

 public:
  struct Shown {
    QString summary, body;
    QStringList actions;
  };
  std::vector<Shown> shown;
  int asked = 0;

 public slots:
  QStringList GetCapabilities() {
    ++asked;
    return {"body", "body-markup", "actions"};
  }
  uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
              const QStringList& actions, const QVariantMap&, int) {
    shown.push_back({summary, body, actions});
    return static_cast<uint>(shown.size()) + 40;
  }
};

class DesktopNotifierTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    bus_.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
    QVERIFY2(bus_.waitForStarted(10000), "dbus-daemon did not start");
    QTRY_VERIFY_WITH_TIMEOUT(bus_.canReadLine(), 10000);
    const QString address = QString::fromUtf8(bus_.readLine()).trimmed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
    QDBusConnection service = QDBusConnection::connectToBus(address, "notification-service");
    QVERIFY(service.isConnected());
    QVERIFY(service.registerObject("/org/freedesktop/Notifications", &fake_, QDBusConnection::ExportAllSlots));
    QVERIFY(service.registerService("org.freedesktop.Notifications"));
  }
  void cleanupTestCase() {
    QDBusConnection::disconnectFromBus("notification-service");
    bus_.kill();
    bus_.waitForFinished();
  }

  void aNoteIsShownAndItsClickRunsOnce() {
    DesktopNotifier notifier;
    QTRY_VERIFY(notifier.OnBus());
    QCOMPARE(fake_.asked, 1);
    int clicks = 0;
    notifier.Notify("2 new messages", "Fish & chips\n<b>Plans</b>", [&clicks] { ++clicks; });
    QTRY_COMPARE(fake_.shown.size(), size_t(1));
    QCOMPARE(fake_.shown[0].summary, QString("2 new messages"));
    QCOMPARE(fake_.shown[0].body, QString("Fish &amp; chips\n&lt;b&gt;Plans&lt;/b&gt;"));
    QCOMPARE(fake_.shown[0].actions.value(0), QString("default"));

    // Sent until the click comes: the note's id reaches the notifier with the call's answer.
    QDBusConnection service = QDBusConnection::connectToBus(QString(), "notification-service");
    auto invoke = [&service] {
      QDBusMessage invoked = QDBusMessage::createSignal("/org/freedesktop/Notifications",
                                                        "org.freedesktop.Notifications", "ActionInvoked");
      invoked << 41u << QString("default");
      return service.send(invoked);
    };
    QTRY_VERIFY(invoke() && clicks == 1);
    QVERIFY(invoke());
    QTest::qWait(100);
    QCOMPARE(clicks, 1);
  }

 private:
  QProcess bus_;
  FakeNotifications fake_;
};

}  // namespace corvelle

QTEST_MAIN(corvelle::DesktopNotifierTest)
#include "desktop_notifier_test.moc"
