#include "ui/signin/sign_in_services.h"

#include "ui/signin/browser_opener.h"
#include "ui/signin/oauth_credentials.h"

namespace corvelle {

OAuth2Maker DesktopOAuth2(const Services& services) {
  return [&settings = services.settings, open_url = services.open_url](SecretStore* secrets) {
    return std::make_unique<OAuthCredentials>(SettingsOAuthAccount(settings), secrets, BrowserOpener(open_url));
  };
}

std::unique_ptr<SignInServices> InstallSignIn(Services& services, const OAuth2Maker& make_oauth2, int timeout_ms) {
  auto made = std::make_unique<SignInServices>(timeout_ms);
  SecretStore* secrets = made->keychain.Answers() ? &made->keychain : nullptr;
  if (make_oauth2) made->oauth2 = make_oauth2(secrets);
  made->credentials = std::make_unique<KeyringCredentials>(services.settings, secrets, made->oauth2.get());
  services.secrets = secrets;
  services.credentials = made->credentials.get();
  services.account_credentials = [secrets, oauth2 = made->oauth2.get()](const Settings& account) {
    return std::unique_ptr<Credentials>(std::make_unique<KeyringCredentials>(account, secrets, oauth2));
  };
  return made;
}

}  // namespace corvelle
