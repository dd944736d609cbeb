// The Help menu.

#include "ui/help/about_box.h"
#include "ui/main/commands.h"
#include "ui/main/corvel_prog.h"
#include "ui/main/features.h"

namespace corvelle {

void RegisterHelpCommands(CommandRegistry& registry) {
  registry.Register(Command::About, [](TCorvelProg& window) {
    TAboutBox box(&window);
    box.exec();
  });
}

}  // namespace corvelle
