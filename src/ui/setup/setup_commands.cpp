// The View menu's setup items: each opens the setup dialog on its page.

#include "ui/main/commands.h"
#include "ui/main/corvel_prog.h"
#include "ui/main/features.h"
#include "ui/setup/setup_dlg.h"

namespace corvelle {

void RegisterSetupCommands(CommandRegistry& registry, Services& services) {
  const std::pair<Command, const char*> pages[] = {{Command::ViewFilters, "Filters"},
                                                   {Command::ViewDirectories, "Directories"},
                                                   {Command::ViewUserSettings, "User Settings"},
                                                   {Command::ViewAccounts, "Accounts"},
                                                   {Command::ViewPreferences, "Preferences"}};
  for (const auto& [command, page] : pages)
    registry.Register(command, [&services, page = page](TCorvelProg& window) {
      ShowSetupPage(services, page, window.InStartup, &window);
    });
}

}  // namespace corvelle
