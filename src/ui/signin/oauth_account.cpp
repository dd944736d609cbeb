#include "core/settings/settings.h"
#include "ui/signin/oauth_credentials.h"

namespace corvelle {

OAuthAccountSource SettingsOAuthAccount(const Settings& settings) {
  return [&settings](OAuthAccount& account, std::string& why) {
    account.provider = settings.Secure.Provider;
    return AccountOAuth(settings, account.endpoints, why);
  };
}

}  // namespace corvelle
