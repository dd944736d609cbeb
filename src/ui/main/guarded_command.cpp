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
#include "ui/main/services.h"

namespace corvelle {
namespace {

// The hidden lock file of the mail directory's System folder, made when missing so that a
// first run on a new tree is guarded too. "" without a mail directory on disk: nothing is
// made where the user never put one.
std::string MailDirLockFile(const Settings& settings) {
  if (settings.MailDirectory.empty() || !FolderExists(settings.MailDirectory)) return "";
  std::string system = ResolvePath(settings.MailDirectory + "System");
  MakeFolders(system);
  return system + "/.corvelle.lock";
}

}  // namespace

CommandHandler Guarded(const Services& services, CommandHandler command) {
  return [&services, command = std::move(command)](TCorvelProg& window, const CommandArgs& args) {
    {
      BusyGuard guard;
      if (!guard) {
        window.ShowResult(QString::fromUtf8(kBusyText));
        return;
      }
      std::string lock_file = MailDirLockFile(services.settings);
      const QString shown = window.Result();
      window.ShowResult("Waiting for the mail directory...");
      MailDirLock lock(lock_file, lock_file.empty() ? 0 : services.mail_dir_wait_ms);
      window.ShowResult(shown);
      if (!lock) {
        window.ShowResult(QString::fromUtf8(kOtherProcessBusyText));
        ShowMessage(services.ui, kOtherProcessBusyText);
        return;
      }
      command(window, args);
    }
    if (!window.PendingParms.empty()) QTimer::singleShot(0, &window, [&window] { RunPendingParms(window); });
  };
}

}  // namespace corvelle
