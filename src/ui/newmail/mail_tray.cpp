#include "ui/newmail/mail_tray.h"

#include <QPainter>

#include "core/browse/new_mail_count.h"
#include "ui/common/program_icon.h"
#include "ui/mailbox/mailbox_window.h"
#include "ui/main/corvel_prog.h"
#include "ui/newmail/new_mail_check.h"

namespace corvelle {
namespace {

constexpr int kIconSize = 64;

// The program's icon with `count` in a red disc at its lower right; the icon alone for 0.
QIcon CountedIcon(int count) {
  QPixmap pixmap = ProgramIcon().pixmap(kIconSize, kIconSize);
  if (count <= 0) return QIcon(pixmap);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF disc(kIconSize * 0.40, kIconSize * 0.40, kIconSize * 0.60, kIconSize * 0.60);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(200, 30, 30));
  painter.drawEllipse(disc);
  QFont font = painter.font();
  font.setBold(true);
  font.setPixelSize(count > 99 ? kIconSize / 4 : kIconSize / 3);
  painter.setFont(font);
  painter.setPen(Qt::white);
  painter.drawText(disc, Qt::AlignCenter, count > 999 ? QString("999+") : QString::number(count));
  return QIcon(pixmap);
}

}  // namespace

QString TrayToolTip(int count) {
  if (count <= 0) return "Corvelle: no new messages";
  return count == 1 ? QString("Corvelle: 1 new message") : QString("Corvelle: %1 new messages").arg(count);
}

MailTray::MailTray(TCorvelProg& frame) : frame_(&frame) {
  menu_.addAction(frame.Action(Command::GetSendAll));
  menu_.addSeparator();
  menu_.addAction(frame.Action(Command::Exit));
  icon_.setContextMenu(&menu_);
  connect(&icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (frame_ && (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick))
      ShowMailbox(*frame_, frame_->RunServices());
  });
  connect(&frame, &TCorvelProg::commandEnded, this, &MailTray::Recount);
  Recount();
  icon_.show();
}

void MailTray::Recount() {
  if (!frame_) return;
  const int count = CountAllNewMessages(frame_->RunServices().Store());
  if (count == count_) return;
  count_ = count;
  icon_.setIcon(CountedIcon(count));
  icon_.setToolTip(TrayToolTip(count));
}

}  // namespace corvelle
