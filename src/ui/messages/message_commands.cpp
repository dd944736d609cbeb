// The message commands of the main window: open, close, save, delete, move, print,
// postpone, the clipboard, next new message and the folder views.

#include "ui/main/commands.h"
#include "ui/main/corvel_prog.h"
#include "ui/main/features.h"

namespace corvelle {

void RegisterMessageCommands(CommandRegistry&) {}

}  // namespace corvelle
