#pragma once
// The services of one run: the interface the user sees, the settings, how connections are
// made and files flushed, the printer, the desktop's opener, the program's end and the
// message windows' address buttons. main() builds them (DesktopServices) and hands them to
// the main window, which hands them to every feature's commands and to the windows they
// open; tests build their own. Nothing here is installed anywhere.

#include <functional>

#include "core/settings/settings.h"
#include "core/store/mail_store.h"
#include "core/user_interface.h"
#include "net/transfer_context.h"
#include "ui/messages/folder_views.h"
#include "ui/messages/message_print.h"

namespace corvelle {

class AddressActions;
class Credentials;
class Notifier;
class SecretStore;

// Ends the program with an exit status; the desktop one ends the process (EndProcess).
using ProgramEnd = std::function<void(int code)>;

// How long a command waits for another process to let go of the mail directory.
inline constexpr int kMailDirWaitMs = 30000;

struct Services {
  UserInterface& ui;
  Settings& settings;           // the run's settings; the setup dialog edits and saves them
  TransportFactory transport;   // empty: TCP connections
  DiskFlush disk_flush;         // empty: files synced for real
  PrinterFactory printer;       // never empty
  UrlOpener open_url;           // never empty
  ProgramEnd end_program;       // never empty
  AddressActions* address_actions;  // never null
  Notifier* notifier;               // never null: desktop notes (new mail, a failed check)
  int mail_dir_wait_ms = kMailDirWaitMs;
  // What logins are made with (null: the settings file's scrambled passwords) and the
  // system keyring (null: none answers).
  Credentials* credentials = nullptr;
  SecretStore* secrets = nullptr;
  // What the logins of further accounts are made with, like the first's (empty: their
  // scrambled passwords in the settings file).
  AccountCredentialsMaker account_credentials = {};

  // The mail directory of the settings as it is now (the setup dialog may change it).
  MailStore Store() const { return StoreOf(settings); }

  // What a transfer run is handed; `shown_on` is the interface its progress goes to.
  TransferContext Transfer(UserInterface& shown_on) const;

  // The same services with boxes and progress going to `shown_on` and the mail directory's
  // lock waited for `wait_ms` (the background check: nobody is asked, nothing waits).
  Services ShownOn(UserInterface& shown_on, int wait_ms) const;
};

// The services of a desktop run: the system's printer, the desktop's opener, `address_actions`
// behind the address buttons (the address book's: BookAddressActions), TCP connections, the
// process ended for real, notes through `notifier` (main()'s DesktopNotifier; without one,
// the error output's).
Services DesktopServices(UserInterface& ui, Settings& settings, AddressActions& address_actions,
                         Notifier* notifier = nullptr);

// The settings of the run read from the settings file (`pos`: the saved window position,
// `version`: the version that wrote the file), reread for the setup dialog, and written.
// The one place the run's settings meet the settings file.
void LoadRunSettings(Services& services, WindowPos& pos, std::string& version);
void ReloadRunSettings(Services& services);
bool SaveRunSettings(Services& services);
bool SaveRunWindowPosition(Services& services, const WindowPos& pos);

}  // namespace corvelle
