#pragma once
// What watches for new mail while the main window is open: the background check and, where
// the desktop has a tray, the tray icon, which counts again at each of the check's ticks.
// Main() makes it once the frame runs for the user (not for a command line that ends).

#include <memory>

#include "ui/newmail/mail_tray.h"
#include "ui/newmail/new_mail_check.h"

namespace corvelle {

class DesktopNotifier;

class MailWatch {
 public:
  // `notifier`, when given, shows its notes in the tray's balloons where the session bus
  // has no notification service.
  MailWatch(TCorvelProg& frame, DesktopNotifier* notifier);
  ~MailWatch();

  NewMailCheck& Check() { return check_; }
  MailTray* Tray() { return tray_.get(); }  // null without a tray

 private:
  NewMailCheck check_;
  std::unique_ptr<MailTray> tray_;
  DesktopNotifier* notifier_;
};

}  // namespace corvelle
