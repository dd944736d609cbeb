#include "net/sockets/clear_password.h"

#include "core/settings/security_settings.h"
#include "core/settings/settings.h"
#include "core/user_interface.h"

namespace corvelle {

bool MaySendPasswordInClear(UserInterface& ui, Settings& choices, const std::string& host, const std::string& port) {
  const std::string server = host + ":" + port;
  if (ClearPasswordAllowed(choices, server)) return true;
  // A warning, so that Return answers no.
  if (ui.Message("The mail server " + host + " asks for your password, and the connection is not encrypted.\n\r"
                 "Send the password without encryption, now and from now on?",
                 "Secure connection", Buttons::YesNo, MessageIcon::Warning) != Answer::Yes)
    return false;
  AllowClearPassword(choices, server);
  return true;
}

}  // namespace corvelle
