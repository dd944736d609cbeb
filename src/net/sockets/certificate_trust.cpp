#include "net/sockets/certificate_trust.h"

#include "core/settings/security_settings.h"
#include "core/settings/settings.h"
#include "core/user_interface.h"

namespace corvelle {
namespace {

constexpr const char* kCaption = "Secure connection";

}  // namespace

bool AcceptUnverifiedCertificate(UserInterface& ui, Settings& choices, const std::string& server, const std::string& fingerprint,
                                 const std::string& reason, std::string& refusal) {
  const std::string trusted = TrustedFingerprint(choices, server);
  if (!trusted.empty() && trusted == fingerprint) return true;
  if (!trusted.empty()) {
    refusal = "The certificate of " + server + " has changed since you trusted it, and it cannot be verified (" +
              reason + "). The connection was refused.";
    ui.Message(refusal + "\n\rSHA-256 fingerprint now: " + fingerprint, kCaption, Buttons::Ok, MessageIcon::Warning);
    return false;
  }
  const std::string question = "The certificate of " + server + " cannot be verified (" + reason +
                               ").\n\rSHA-256 fingerprint: " + fingerprint +
                               "\n\rTrust this certificate for " + server + " from now on?";
  if (ui.Message(question, kCaption, Buttons::YesNo, MessageIcon::Warning) != Answer::Yes) {
    refusal = "The certificate of " + server + " cannot be verified (" + reason + "). The connection was refused.";
    return false;
  }
  TrustFingerprint(choices, server, fingerprint);
  return true;
}

}  // namespace corvelle
