#pragma once
// Commands that process pending events while they run take the busy guard first: a second
// one started from inside the first is refused with a status line.

#include "ui/main/commands.h"

namespace corvelle {

// A handler that runs `command` under the busy guard, or shows the busy status line while
// another command holds it. Forwarded command lines that arrived meanwhile waited in the
// queue; they run once the command has ended.
CommandHandler Guarded(void (*command)(TCorvelProg&));

}  // namespace corvelle
