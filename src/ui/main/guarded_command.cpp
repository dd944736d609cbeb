#include "ui/main/guarded_command.h"

#include <QLabel>
#include <QTimer>

#include "core/busy_guard.h"
#include "core/settings/settings.h"
#include "core/user_interface.h"
#include "platform/mail_dir_lock.h"
#include "platform/paths.h"
#include "ui/cmdline/parm_processing.h"
#include "ui/main/corvel_prog.h"

namespace corvelle {
namespace {

int mail_dir_wait_ms = kMailDirWaitMs;

// The hidden lock file of the mail directory's System folder, made when missing so that a
// first run on a new tree is guarded too. "" without a mail directory on disk: nothing is
// made where the user never put one.
std::string MailDirLockFile() {
  if (MailSettings.MailDirectory.empty() || !FolderExists(MailSettings.MailDirectory)) return "";
  std::string system = ResolvePath(MailSettings.MailDirectory + "System");
  MakeFolders(system);
  return system + "/.corvelle.lock";
}

}  // namespace

void SetMailDirWaitForTest(int wait_ms) { mail_dir_wait_ms = wait_ms < 0 ? kMailDirWaitMs : wait_ms; }

CommandHandler Guarded(void (*command)(TCorvelProg&)) {
  return [command](TCorvelProg& window) {
    {
      BusyGuard guard;
      if (!guard) {
        window.Panel3->setText(QString::fromUtf8(kBusyText));
        return;
      }
      std::string lock_file = MailDirLockFile();
      const QString shown = window.Panel3->text();
      window.Panel3->setText("Waiting for the mail directory...");
      window.Panel3->repaint();
      MailDirLock lock(lock_file, lock_file.empty() ? 0 : mail_dir_wait_ms);
      window.Panel3->setText(shown);
      if (!lock) {
        window.Panel3->setText(QString::fromUtf8(kOtherProcessBusyText));
        ShowMessage(kOtherProcessBusyText);
        return;
      }
      command(window);
    }
    if (!window.PendingParms.empty()) QTimer::singleShot(0, &window, [&window] { RunPendingParms(window); });
  };
}

}  // namespace corvelle
