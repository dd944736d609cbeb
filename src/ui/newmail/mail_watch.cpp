#include "ui/newmail/mail_watch.h"

#include "ui/common/desktop_notifier.h"

namespace corvelle {

MailWatch::MailWatch(TCorvelProg& frame, DesktopNotifier* notifier) : check_(frame), notifier_(notifier) {
  if (!QSystemTrayIcon::isSystemTrayAvailable()) return;
  tray_ = std::make_unique<MailTray>(frame);
  QObject::connect(&check_, &NewMailCheck::ticked, tray_.get(), &MailTray::Recount);
  if (notifier_) notifier_->SetTrayIcon(&tray_->Icon());
}

MailWatch::~MailWatch() {
  if (notifier_ && tray_) notifier_->SetTrayIcon(nullptr);
}

}  // namespace corvelle
