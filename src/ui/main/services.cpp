#include "ui/main/services.h"

#include <QPrinter>

#include "ui/common/notifier.h"
#include "ui/common/program_end.h"

namespace corvelle {

TransferContext Services::Transfer(UserInterface& shown_on) const {
  TransferContext context = MakeTransferContext(shown_on, settings);
  context.transport = transport;
  context.disk_flush = disk_flush;
  context.choices = &settings;
  context.credentials = credentials;
  context.account_credentials = account_credentials;
  return context;
}

// Every field by name (the interface is a reference and cannot be set on a copy): a field
// added to Services is added here too.
Services Services::ShownOn(UserInterface& shown_on, int wait_ms) const {
  return Services{shown_on,    settings,        transport, disk_flush, printer,     open_url, end_program,
                  address_actions, notifier, wait_ms,   credentials, secrets, account_credentials};
}

Services DesktopServices(UserInterface& ui, Settings& settings, AddressActions& address_actions, Notifier* notifier) {
  // Stateless: one for every run that brings no notifier of its own.
  static ErrorOutputNotifier error_output;
  return Services{ui, settings, {}, {}, DefaultPrinter, OpenOnDesktop, EndProcess, &address_actions,
                  notifier ? notifier : &error_output};
}

// The one place the run's settings meet the settings file.
void LoadRunSettings(Services& services, WindowPos& pos, std::string& version) {
  services.settings = LoadSettings(services.ui, pos, version);
}

void ReloadRunSettings(Services& services) { ReloadSettings(services.ui, services.settings); }

bool SaveRunSettings(Services& services) { return SaveSettings(services.settings); }

bool SaveRunWindowPosition(Services&, const WindowPos& pos) { return SaveWindowPosition(pos); }

}  // namespace corvelle
