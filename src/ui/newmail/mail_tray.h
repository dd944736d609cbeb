#pragma once
// The tray icon: the program's icon with the count of new messages on it
// (CountAllNewMessages) and in its tooltip ("Corvelle: 3 new messages"). A click brings the
// mailbox window up (ShowMailbox); its menu holds the frame's own Get / Send All and Exit.

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>

namespace corvelle {

class TCorvelProg;

// "Corvelle: no new messages", "Corvelle: 1 new message", "Corvelle: 3 new messages".
QString TrayToolTip(int count);

class MailTray : public QObject {
  Q_OBJECT
 public:
  // Shown at once, counted.
  explicit MailTray(TCorvelProg& frame);

  // Counts the new messages of the store again and shows the count.
  void Recount();

  QSystemTrayIcon& Icon() { return icon_; }
  int Count() const { return count_; }

 private:
  QPointer<TCorvelProg> frame_;
  QMenu menu_;
  QSystemTrayIcon icon_;
  int count_ = -1;  // -1: not counted yet
};

}  // namespace corvelle
