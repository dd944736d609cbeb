#include "ui/common/desktop_notifier.h"

#include <QDBusConnection>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusMessage>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSystemTrayIcon>
#include <cstdio>

#include "core/user_interface.h"

namespace corvelle {
namespace {

const char* const kService = "org.freedesktop.Notifications";
const char* const kPath = "/org/freedesktop/Notifications";
const char* const kInterface = "org.freedesktop.Notifications";
// How long the service has to say what it can: it may have to be started first.
constexpr int kAskMs = 1500;
constexpr int kShownMs = 10000;  // how long a note stays

}  // namespace

void ErrorOutputNotifier::Notify(const QString& title, const QString& body, std::function<void()>) {
  std::fprintf(stderr, "%s: %s\n%s\n", kApplicationTitle, title.toLocal8Bit().constData(),
               body.toLocal8Bit().constData());
  std::fflush(stderr);
}

namespace {

// A session bus the environment names, or the one a user session keeps in its runtime
// folder. Without either, asking for the bus would try to start one through the display.
bool SessionBusKnown() {
  if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) return true;
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  return !runtime.isEmpty() && QFileInfo::exists(runtime + "/bus");
}

}  // namespace

// Asked without waiting: a service started on demand may take a while, and the start of the
// program does not wait for it.
DesktopNotifier::DesktopNotifier(QObject* parent) : QObject(parent) {
  if (!SessionBusKnown()) return;
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return;
  QDBusMessage ask = QDBusMessage::createMethodCall(kService, kPath, kInterface, "GetCapabilities");
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(ask, kAskMs), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* done) {
    done->deleteLater();
    QDBusPendingReply<QStringList> capabilities = *done;
    if (capabilities.isError()) return;
    bus_ = true;
    markup_ = capabilities.value().contains("body-markup");
    QDBusConnection session = QDBusConnection::sessionBus();
    session.connect(kService, kPath, kInterface, "ActionInvoked", this, SLOT(ActionInvoked(uint, QString)));
    session.connect(kService, kPath, kInterface, "NotificationClosed", this, SLOT(NotificationClosed(uint, uint)));
  });
}

void DesktopNotifier::SetTrayIcon(QSystemTrayIcon* tray) {
  tray_ = tray;
  if (!tray) return;
  connect(tray, &QSystemTrayIcon::messageClicked, this, [this] {
    if (balloon_click_) balloon_click_();
  });
}

void DesktopNotifier::Notify(const QString& title, const QString& body, std::function<void()> on_click) {
  if (bus_) return NotifyOnBus(title, body, std::move(on_click));
  if (tray_ && tray_->isVisible() && QSystemTrayIcon::supportsMessages()) {
    balloon_click_ = std::move(on_click);
    tray_->showMessage(title, body, QSystemTrayIcon::Information, kShownMs);
    return;
  }
  ErrorOutputNotifier().Notify(title, body, {});
}

// The call is not waited for: the id it gives back ties the click to `on_click`. A call that
// fails shows the note the other way.
void DesktopNotifier::NotifyOnBus(const QString& title, const QString& body, std::function<void()> on_click) {
  QStringList actions;
  if (on_click) actions << "default" << tr("Show");
  QVariantMap hints{{"desktop-entry", QGuiApplication::desktopFileName()}, {"category", "email.arrived"}};
  QDBusMessage notify = QDBusMessage::createMethodCall(kService, kPath, kInterface, "Notify");
  notify << QString(kApplicationTitle) << 0u << QString("corvelle") << title << (markup_ ? body.toHtmlEscaped() : body)
         << actions << hints << kShownMs;
  QDBusPendingCall call = QDBusConnection::sessionBus().asyncCall(notify);
  auto* watcher = new QDBusPendingCallWatcher(call, this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [this, title, body, on_click = std::move(on_click)](QDBusPendingCallWatcher* done) {
            done->deleteLater();
            QDBusPendingReply<uint> reply = *done;
            if (reply.isError()) {
              bus_ = false;  // gone since the start: the other ways from now on
              Notify(title, body, on_click);
            } else if (on_click) {
              clicks_[reply.value()] = on_click;
            }
          });
}

void DesktopNotifier::ActionInvoked(uint id, const QString& action) {
  auto click = clicks_.find(id);
  if (click == clicks_.end() || action != "default") return;
  std::function<void()> run = click->second;
  clicks_.erase(click);
  run();
}

void DesktopNotifier::NotificationClosed(uint id, uint) { clicks_.erase(id); }

}  // namespace corvelle
