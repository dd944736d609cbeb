#include "core/settings/settings.h"
#include "ui/signin/oauth_credentials.h"

namespace corvelle {

OAuthAccountSource SettingsOAuthAccount(const Settings& settings) {
  return [&settings](const std::string& provider, OAuthAccount& account, std::string& why) {
    account.provider = provider;
    return ProviderOAuth(settings, provider, account.endpoints, why);
  };
}

}  // namespace corvelle
