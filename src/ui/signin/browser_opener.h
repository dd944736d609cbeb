#pragma once
// How the sign-in address reaches the user's browser.

#include "ui/messages/folder_views.h"

namespace corvelle {

// Opens an address in the browser the user named in $BROWSER, else with `desktop` (the run's
// opener). $BROWSER is a colon-separated list of commands tried in order; "%s" in a command
// stands for the address, else the address is added as its last argument. Each command is
// started on its own, without a shell, the address one argument of it.
UrlOpener BrowserOpener(UrlOpener desktop);

}  // namespace corvelle
