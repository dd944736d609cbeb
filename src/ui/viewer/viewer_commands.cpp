// Commands that open message windows.

#include "core/store/message_text.h"
#include "ui/main/commands.h"
#include "ui/main/corvel_prog.h"
#include "ui/main/features.h"

namespace corvelle {

void RegisterViewerCommands(CommandRegistry& registry) {
  registry.Register(Command::FileNew, [](TCorvelProg& window) {
    window.CreateMailViewer(NewMessageName(window.MessageWindowCount()), "", "", "");
  });
}

}  // namespace corvelle
