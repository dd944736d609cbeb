#include "core/signin/settings_credentials.h"

namespace corvelle {

const std::string& StoredPassword(const Settings& settings, LoginTarget::Service service) {
  bool own_send_login = service == LoginTarget::Service::kSmtp && !settings.Secure.SendUserName.empty();
  return own_send_login ? settings.Secure.SendPassWord : settings.PassWord;
}

bool SettingsCredentials::Get(UserInterface&, const LoginTarget& target, Credential& credential, std::string& why) {
  if (AccountSignIn(settings_) != SignInMethod::kPassword) {
    why = "Signing in with OAuth2 is not available here.";
    return false;
  }
  credential = {SignInMethod::kPassword, DecodePassword(StoredPassword(settings_, target.service))};
  return true;
}

}  // namespace corvelle
