#pragma once
// A password sent without encryption, to a POP3 or an SMTP server alike: only after the user
// allowed it for that server (host and port), remembered per server in the settings file
// the way trusted certificates are.

#include <string>

namespace corvelle {

struct Settings;
class UserInterface;

// True when the password may go to `host` on `port` in clear: allowed before, or the user
// says yes now through `ui` (then remembered in `choices` and in the settings file). A run
// with nobody to ask says no.
bool MaySendPasswordInClear(UserInterface& ui, Settings& choices, const std::string& host, const std::string& port);

}  // namespace corvelle
