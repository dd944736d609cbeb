// The start-up of the main window (FormCreate): settings, file types and the set-up
// checks. Its order matters: the settings decide the checks, and the checks may change
// the settings.

#include "core/store/mail_store.h"
#include "core/store/mail_dirs.h"
#include "core/settings/settings.h"
#include "core/settings/setup_check.h"
#include "core/signin/keyring_passwords.h"
#include "core/user_interface.h"
#include "ui/common/qt_user_interface.h"
#include "ui/main/corvel_prog.h"
#include "ui/setup/setup_dlg.h"
#include "ui/viewer/opened_attachments.h"

namespace corvelle {

bool TCorvelProg::StartUp() {
  InStartup = true;
  MaximizeViewers = true;
  LastChildCount = 0;
  DeferredOpens.clear();
  PendingParms.clear();
  ParmNesting = 0;

  WindowPos pos;
  std::string version;
  LoadRunSettings(services_, pos, version);
  if (services_.settings.RememberPos) move(pos.x, pos.y);
  // Another version may have registered other commands: register again.
  FileTypes.Request(version != kVersion);
  if (!CheckSetup(version)) return false;
  // A file from before the keyring: its passwords go there once one answers.
  MovePasswordsToKeyring(services_.ui, services_.settings, services_.secrets);

  OpenDialog.directory = InitialDirectory(services_.settings.MailDirectory);
  DoCommonTextFill();
  // Opened attachments that ended runs left behind go now, not at the next opening.
  ProcessAttachments();
  InStartup = false;
  UpdateMenuItems();
  return true;
}

// An incomplete set-up or mail directory tree opens the setup dialog, which ends the
// program when it is cancelled during start-up. False when it was.
namespace {

// The setup dialog without a display would wait for ever: a start run by a script says
// what is missing and ends instead.
bool SetupPage(Services& services, const char* page, bool startup, QWidget* parent) {
  auto* qt = dynamic_cast<QtUserInterface*>(&services.ui);
  if (startup && qt && qt->Headless()) {
    ShowMessage(services.ui, "The settings are incomplete, and without a display the setup dialog cannot be shown.");
    return false;
  }
  return ShowSetupPage(services, page, startup, parent);
}

}  // namespace

bool TCorvelProg::CheckSetup(const std::string& version) {
  const Settings& s = services_.settings;
  if (s.MailDirectory.empty() || s.DefaultMailFolder.empty()) {
    if (!SetupPage(services_, "Directories", InStartup, this)) return false;
    FileTypes.Request(true);
  } else if (version != kVersion || s.SendServer.empty() || s.SendPort.empty() || s.MailServer.empty() ||
             s.MailPort.empty() || s.UserName.empty() || !PasswordKept(s, services_.secrets) || s.MyName.empty() ||
             s.MailAddress.empty()) {
    if (!SetupPage(services_, "User Settings", InStartup, this)) return false;
  }
  // A path cut short by a NUL byte would pass the check on folders it does not name.
  if (!PathSettingsUsable(services_.settings) ||
      !services_.Store().CheckMailDirs(services_.settings.DefaultMailFolder, false, false, false)) {
    ShowMessage(
        services_.ui, "Your mail directory or one of its components \n\rdoes not exist.\n\rVerify or enter a new mail "
        "directory\n\rin the setup dialog.");
    if (!SetupPage(services_, "Directories", InStartup, this)) return false;
  }
  return true;
}

}  // namespace corvelle
