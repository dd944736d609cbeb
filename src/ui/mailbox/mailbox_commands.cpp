// The mailbox window's command: View > Mailbox (and a click on a new-mail notice) opens it
// or brings it back, with the main window.

#include "ui/main/commands.h"
#include "ui/main/corvel_prog.h"
#include "ui/main/features.h"
#include "ui/mailbox/mailbox_window.h"

namespace corvelle {

void RegisterMailboxCommands(CommandRegistry& registry, Services& services) {
  registry.Register(Command::ViewMailbox, [&services](TCorvelProg& frame) { ShowMailbox(frame, services); });
}

}  // namespace corvelle
