#pragma once
// The desktop's notes: the freedesktop notification service on the session bus, whose
// "default" action is the click; without one the tray icon's balloon (once a tray icon is
// set, and the tray shows balloons); without either the error output.

#include <QObject>
#include <QPointer>
#include <map>

#include "ui/common/notifier.h"

class QSystemTrayIcon;

namespace corvelle {

class DesktopNotifier : public QObject, public Notifier {
  Q_OBJECT
 public:
  explicit DesktopNotifier(QObject* parent = nullptr);

  void Notify(const QString& title, const QString& body, std::function<void()> on_click) override;

  // The tray icon whose balloon shows the notes when the session bus has no notification
  // service; null: none.
  void SetTrayIcon(QSystemTrayIcon* tray);

  // True once the notification service has answered: notes go to it.
  bool OnBus() const { return bus_; }

 private slots:
  void ActionInvoked(uint id, const QString& action);
  void NotificationClosed(uint id, uint reason);

 private:
  void NotifyOnBus(const QString& title, const QString& body, std::function<void()> on_click);

  bool bus_ = false;     // the notification service answers
  bool markup_ = false;  // it reads the body as markup: the text is escaped
  std::map<uint, std::function<void()>> clicks_;  // by the id the service gave the note
  QPointer<QSystemTrayIcon> tray_;
  std::function<void()> balloon_click_;  // of the last balloon shown
};

}  // namespace corvelle
