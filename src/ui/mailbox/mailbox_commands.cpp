#include "ui/main/commands.h"
#include "ui/main/features.h"

namespace corvelle {

void RegisterMailboxCommands(CommandRegistry&, Services&) {}

}  // namespace corvelle
