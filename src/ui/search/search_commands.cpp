#include "ui/main/commands.h"
#include "ui/main/features.h"

namespace corvelle {

void RegisterSearchCommands(CommandRegistry&, Services&) {}

}  // namespace corvelle
