// The secure start of a POP3 session: CAPA, then STLS and the handshake (RFC 2595), before
// the password goes anywhere.

#include "core/settings/security_settings.h"
#include "core/user_interface.h"
#include "net/pop3/get_mail.h"

namespace corvelle {

bool TGetMail::SecureSession() {
  if (security_ != Security::kStartTls) return true;
  bool offered = false;
  if (Command("CAPA") == Reply::kAccepted) {
    std::string line;
    while (ReadReplyLine(line) && line != ".") {
      WriteLog("> " + line);
      if (line == "STLS" || line.starts_with("STLS ")) offered = true;
    }
  }
  if (!SessionUsable()) {
    ShowMessage(ui_, "Transmission error occurred.");
    return false;
  }
  // Without STLS in the list the password would go out in clear: the session ends here.
  if (!offered) {
    ShowMessage(ui_, "The mail server " + server_ + " does not offer STLS, so the connection cannot be secured.");
  } else if (Command("STLS") != Reply::kAccepted) {
    ShowMessage(ui_, "The mail server " + server_ + " could not start a secure connection.");
  } else if (channel_.StartTls()) {
    return true;
  }
  if (IsConnected()) channel_.Close();
  ErrorFlag = true;
  return false;
}

}  // namespace corvelle
