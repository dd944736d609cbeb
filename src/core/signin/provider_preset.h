#pragma once
// Provider presets: what choosing a provider on the User settings page fills in (servers,
// ports, security, the sign-in method) and, for OAuth2, where and how to sign in. They are
// data (data/providers.ini), not code; the settings file's own section of a provider
// ("Provider <name>") holds the OAuth2 client the user registered, and may name the
// endpoints of a provider that has no preset.

#include <string>
#include <vector>

#include "core/signin/credentials.h"

namespace corvelle {

struct Settings;

struct OAuthEndpoints {
  std::string authorize_url, token_url, scope;
  std::string client_id, client_secret;  // the secret: only where the provider requires one
};

struct ProviderPreset {
  std::string name;                  // the section's name, shown in the list
  std::vector<std::string> domains;  // mail domains that suggest it ("gmail.com")
  std::string mail_server, mail_port, mail_security;  // security as the settings store it
  std::string send_server, send_port, send_security;
  SignInMethod sign_in = SignInMethod::kPassword;
  OAuthEndpoints oauth;
  bool client_secret_required = false;  // the provider wants the client's secret with its id
  std::string help_url;  // where an app password or an OAuth2 client is made

  bool HasOAuth() const { return !oauth.authorize_url.empty() && !oauth.token_url.empty(); }
};

// The settings file's section of provider `name`: "Provider <name>".
std::string ProviderSection(const std::string& name);

// The presets file the program ships: "../share/corvelle/providers.ini" beside the program's
// folder when installed, else the source tree's (a run from the build tree); "" when neither
// exists.
std::string ProviderPresetsPath();

// The presets of `presets_path` (missing or unreadable: none), then each "Provider NAME"
// section of the settings file at `settings_path` laid over the preset of that name (the
// same keys, and ClientId and ClientSecret, which only that file holds). A section without
// a preset defines a provider when it names AuthorizeUrl and TokenUrl. A section with a bad
// value (port, security, sign-in method, an address that is not https: or a loopback
// http:, a value cut at the settings' length) is left out whole.
std::vector<ProviderPreset> ReadProviderPresets(const std::string& presets_path, const std::string& settings_path);

// The presets shipped with the program, merged with the settings file's provider sections
// (ReadProviderPresets of ProviderPresetsPath() and the settings file).
std::vector<ProviderPreset> LoadProviderPresets(const Settings& settings);

// The preset named `name` (ignoring case), or nullptr.
const ProviderPreset* FindProviderPreset(const std::vector<ProviderPreset>& presets, const std::string& name);

// The preset whose Domains hold the domain of `mail_address` (ignoring case), or nullptr.
const ProviderPreset* SuggestProviderPreset(const std::vector<ProviderPreset>& presets, const std::string& mail_address);

// Writes the OAuth2 client the user registered with `provider` into the settings file's
// section of that provider, at once. An empty value is written only over one already there,
// so that saving an untouched page adds nothing. False when the file could not be written.
bool SaveProviderClient(const std::string& provider, const std::string& client_id, const std::string& client_secret);

// The OAuth2 endpoints and client of the provider the account names (Settings::Secure.Provider).
// False, with the reason in the user's words, when something needed is missing (no provider,
// no client id registered).
bool AccountOAuth(const Settings& settings, OAuthEndpoints& endpoints, std::string& why);
// The same for the provider named `name` (a further account's), with the presets and
// provider sections `settings` read.
bool ProviderOAuth(const Settings& settings, const std::string& name, OAuthEndpoints& endpoints, std::string& why);

}  // namespace corvelle
