#pragma once
// Commands that process pending events while they run take the busy guard first: a second
// one started from inside the first is refused with a status line.

#include "ui/main/commands.h"

namespace corvelle {

struct Services;

// A handler that runs `command` under the busy guard, or shows the busy status line while
// another command holds it. Forwarded command lines that arrived meanwhile waited in the
// queue; they run once the command has ended.
// Each also holds the mail directory's lock while it runs: another process working on the
// same tree (a cron job's run beside the desktop one) is waited for a bounded time
// (services.mail_dir_wait_ms), then the command says so and does nothing.
CommandHandler Guarded(const Services& services, CommandHandler command);

}  // namespace corvelle
