#include "core/signin/keyring_credentials.h"

#include "core/signin/keyring_passwords.h"

namespace corvelle {

bool KeyringCredentials::Get(UserInterface& ui, const LoginTarget& target, Credential& credential, std::string& why) {
  if (AccountSignIn(settings_) == SignInMethod::kOAuth2) {
    if (oauth2_) return oauth2_->Get(ui, target, credential, why);
    why = "Signing in with OAuth2 is not available here.";
    return false;
  }
  credential.method = SignInMethod::kPassword;
  return KeptPassword(settings_, store_, target.service, credential.secret, why);
}

void KeyringCredentials::BeginRun() {
  if (oauth2_) oauth2_->BeginRun();
}

void KeyringCredentials::Refused(const LoginTarget& target) {
  if (oauth2_) oauth2_->Refused(target);
}

}  // namespace corvelle
