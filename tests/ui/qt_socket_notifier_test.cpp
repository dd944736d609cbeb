#include "ui/common/qt_socket_notifier.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QtTest>

using corvelle::QtSocketNotifier;

class QtSocketNotifierTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { QVERIFY(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds_) == 0); }
  void cleanup() {
    ::close(fds_[0]);
    ::close(fds_[1]);
  }

  void readableDescriptorCallsBackUntilUnwatched() {
    QtSocketNotifier notifier;
    QCOMPARE(corvelle::InstalledSocketNotifier(), &notifier);
    int calls = 0;
    notifier.Watch(fds_[0], true, false, [&](bool readable, bool writable) {
      QVERIFY(readable && !writable);
      if (++calls == 2) notifier.Unwatch(fds_[0]);  // inside its own callback
    });
    QCOMPARE(::write(fds_[1], "x", 1), 1);
    QTRY_COMPARE(calls, 2);  // level-triggered: the unread byte keeps it ready
    QTest::qWait(50);
    QCOMPARE(calls, 2);
  }

  void writableAndReadWatchesCanBeSwitched() {
    QtSocketNotifier notifier;
    bool wrote = false, read = false;
    notifier.Watch(fds_[0], false, true, [&](bool, bool writable) {
      if (writable) {
        wrote = true;
        notifier.Watch(fds_[0], true, false, [&](bool r, bool) { read = read || r; });
      }
    });
    QTRY_VERIFY(wrote);
    QCOMPARE(::write(fds_[1], "y", 1), 1);
    QTRY_VERIFY(read);
  }

  void postedCallsRunLaterFromTheLoop() {
    QtSocketNotifier notifier;
    bool ran = false;
    notifier.Post([&] { ran = true; });
    QVERIFY(!ran);
    QTRY_VERIFY(ran);
  }

  void destroyedNotifierUninstallsItself() {
    { QtSocketNotifier notifier; }
    QCOMPARE(corvelle::InstalledSocketNotifier(), nullptr);
  }

 private:
  int fds_[2] = {-1, -1};
};

QTEST_MAIN(QtSocketNotifierTest)
#include "qt_socket_notifier_test.moc"
