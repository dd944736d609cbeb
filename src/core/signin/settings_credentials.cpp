#include "core/signin/settings_credentials.h"

namespace corvelle {

bool OwnSendLogin(const Settings& settings) { return !settings.Secure.SendUserName.empty(); }

const std::string& StoredPassword(const Settings& settings, LoginTarget::Service service) {
  bool own = service == LoginTarget::Service::kSmtp && OwnSendLogin(settings);
  return own ? settings.Secure.SendPassWord : settings.PassWord;
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
