#pragma once
// Commands that process pending events while they run take the busy guard first: a second
// one started from inside the first is refused with a status line.

#include "ui/main/commands.h"

namespace corvelle {

// A handler that runs `command` under the busy guard, or shows the busy status line while
// another command holds it. Forwarded command lines that arrived meanwhile waited in the
// queue; they run once the command has ended.
// Each also holds the mail directory's lock while it runs: another process working on the
// same tree (a cron job's run beside the desktop one) is waited for a bounded time, then the
// command says so and does nothing.
CommandHandler Guarded(void (*command)(TCorvelProg&));

// How long a command waits for another process to let go of the mail directory.
inline constexpr int kMailDirWaitMs = 30000;
// Tests shorten the wait; a negative value puts the default back.
void SetMailDirWaitForTest(int wait_ms);

}  // namespace corvelle
