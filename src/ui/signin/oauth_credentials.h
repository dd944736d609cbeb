#pragma once
// OAuth2 sign-in: the access token a POP3 or SMTP login is made with. An access token is kept
// for the run while it holds; a refresh token, kept in the keyring under "oauth2 USER@PROVIDER"
// (without a keyring in memory for the run, never in the settings file), gets the next one;
// without a refresh token, or once the server declared it dead and the user agreed, the
// sign-in goes to the browser. Every wait is bounded and ends at the user's Cancel.

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "core/signin/credentials.h"
#include "core/signin/provider_preset.h"
#include "ui/messages/folder_views.h"
#include "ui/signin/oauth_token_reply.h"

namespace corvelle {

class OAuthFlow;
class SecretStore;

struct OAuthAccount {
  std::string provider;  // the preset's name: PROVIDER in the keyring key
  OAuthEndpoints endpoints;
};
// The provider named `provider` (the login's: each account names its own) with its client;
// false with the reason in the user's words.
using OAuthAccountSource = std::function<bool(const std::string& provider, OAuthAccount& account, std::string& why)>;

// The provider named with its endpoints and client from the presets and the provider
// sections `settings` read (ProviderOAuth).
OAuthAccountSource SettingsOAuthAccount(const Settings& settings);

struct OAuthLimits {
  int browser_ms = 5 * 60 * 1000;  // the sign-in in the browser, the user's own steps included
  int request_ms = 30 * 1000;      // one request to the token endpoint
};

class OAuthCredentials : public Credentials {
 public:
  // `secrets` null: no keyring. `open_browser` shows the sign-in address (BrowserOpener).
  OAuthCredentials(OAuthAccountSource account, SecretStore* secrets, UrlOpener open_browser, OAuthLimits limits = {});
  ~OAuthCredentials() override;

  // An OAuth2 access token for `target.user`. Questions, the wait's window and its events go
  // through `ui`; a background check's interface (QuietInterface) and a silent one never
  // send the user to the browser. False with `why` naming the provider and the error; nothing is kept then.
  bool Get(UserInterface& ui, const LoginTarget& target, Credential& credential, std::string& why) override;
  void Refused(const LoginTarget& target) override;
  void BeginRun() override { declined_.clear(); }
  // The user's Cancel: ends the wait for the browser or the server in progress.
  void Cancel() { cancelled_ = true; }

 private:
  using Clock = std::chrono::steady_clock;
  struct Held {
    std::string access_token;
    bool expires = false;
    Clock::time_point until;
  };

  bool Fresh(const std::string& key) const;
  std::string StoredRefreshToken(const std::string& key);
  void ForgetRefreshToken(const std::string& key);
  void Keep(UserInterface& ui, const std::string& key, const std::string& provider, const TokenReply& reply);
  TokenReply Refresh(UserInterface& ui, const OAuthAccount& account, const std::string& refresh_token);
  TokenReply SignInInBrowser(UserInterface& ui, const OAuthAccount& account, const std::string& user);
  TokenReply Await(UserInterface& ui, OAuthFlow& flow, int limit_ms, const std::string& late);

  OAuthAccountSource account_;
  SecretStore* secrets_;
  UrlOpener open_browser_;
  OAuthLimits limits_;
  std::map<std::string, Held> held_;                    // access tokens of this run, by key
  std::map<std::string, std::string> refresh_in_memory_;  // where no keyring took them
  // Sign-ins the user declined in this run, with the reason given: sending and retrieval
  // both log in, and the user is asked once.
  std::map<std::string, std::string> declined_;
  // The flow of the last sign-in in the browser, kept while its page is sent to the browser.
  std::unique_ptr<OAuthFlow> last_browser_flow_;
  bool told_no_keyring_ = false;
  bool cancelled_ = false;
};

}  // namespace corvelle
