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
  std::string help_url;  // where an app password or an OAuth2 client is made
};

// The presets shipped with the program, merged with the settings file's provider sections.
std::vector<ProviderPreset> LoadProviderPresets(const Settings& settings);

// The OAuth2 endpoints and client of the provider the account names (Settings::Secure.Provider).
// False, with the reason in the user's words, when something needed is missing (no provider,
// no client id registered).
bool AccountOAuth(const Settings& settings, OAuthEndpoints& endpoints, std::string& why);

}  // namespace corvelle
