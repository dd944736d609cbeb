#include <sstream>

#include "core/settings/settings.h"
#include "core/settings/setup_check.h"
#include "core/signin/provider_preset.h"
#include "platform/file_types.h"
#include "platform/paths.h"
#include "platform/profile.h"

namespace corvelle {
namespace {

constexpr const char* kSectionPrefix = "Provider ";
constexpr const char* kClientId = "ClientId";
constexpr const char* kClientSecret = "ClientSecret";
// A name longer than this is no name a list shows.
constexpr size_t kMaxNameLength = 64;

// Reads one section's keys over a preset; false when a value is unusable, so that the
// section is left out rather than half taken.
class SectionReader {
 public:
  SectionReader(const PrivateProfile& ini, const std::string& section) : ini_(ini), section_(section) {}

  bool Read(ProviderPreset& p) {
    Text("MailServer", p.mail_server);
    Text("MailPort", p.mail_port);
    Text("MailSecurity", p.mail_security);
    Text("SendServer", p.send_server);
    Text("SendPort", p.send_port);
    Text("SendSecurity", p.send_security);
    std::string domains, sign_in, secret_required;
    if (Text("Domains", domains)) p.domains = Words(domains);
    if (Text("SignIn", sign_in) && !sign_in.empty()) ok_ = ok_ && OneOf(sign_in, kSignInTexts);
    if (ok_ && !sign_in.empty()) p.sign_in = SignInFromText(sign_in);
    Url("AuthorizeUrl", p.oauth.authorize_url);
    Url("TokenUrl", p.oauth.token_url);
    Text("Scope", p.oauth.scope);
    if (Text("ClientSecretRequired", secret_required)) p.client_secret_required = secret_required == "1";
    Url("Help", p.help_url);
    return ok_ && Port(p.mail_port) && Port(p.send_port) && Security(p.mail_security) && Security(p.send_security);
  }

  // The client the user registered: only the settings file holds it.
  bool ReadClient(OAuthEndpoints& oauth) {
    Text(kClientId, oauth.client_id);
    Text(kClientSecret, oauth.client_secret);
    return ok_;
  }

 private:
  // Sets `value` when the key is present; a value as long as the settings file gives back
  // may have been cut, and spoils the section.
  bool Text(const char* key, std::string& value) {
    const std::string missing(1, '\0');
    std::string read = ini_.ReadString(section_, key, missing);
    if (read == missing) return false;
    ok_ = ok_ && read.size() < kMaxSettingLength;
    value = read;
    return true;
  }

  // Sign-in pages go over https:, or plain http: to this machine (a test's server).
  void Url(const char* key, std::string& value) {
    if (!Text(key, value) || value.empty()) return;
    const char* allowed[] = {"https://", "http://127.0.0.1:", "http://127.0.0.1/", "http://[::1]:",
                             "http://[::1]/", "http://localhost:", "http://localhost/"};
    bool good = false;
    for (const char* prefix : allowed) good = good || StartsWithIgnoringCase(value, prefix);
    ok_ = ok_ && good && value.find_first_of(" \t") == std::string::npos;
  }

  static bool Port(const std::string& port) { return port.empty() || IsPortNumber(port); }
  static bool Security(const std::string& text) { return text.empty() || OneOf(text, kSecurityTexts); }

  template <size_t N>
  static bool OneOf(const std::string& text, const char* const (&texts)[N]) {
    for (const char* t : texts)
      if (text == t) return true;
    return false;
  }

  static std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;) words.push_back(AsciiLower(word));
    return words;
  }

  const PrivateProfile& ini_;
  const std::string& section_;
  bool ok_ = true;
};

std::vector<ProviderPreset> ShippedPresets(const std::string& path) {
  std::vector<ProviderPreset> presets;
  if (path.empty()) return presets;
  const PrivateProfile ini(path);
  for (const std::string& name : ini.SectionNames()) {
    ProviderPreset preset;
    preset.name = name;
    if (!name.empty() && name.size() <= kMaxNameLength && SectionReader(ini, name).Read(preset))
      presets.push_back(std::move(preset));
  }
  return presets;
}

// The settings file's provider sections laid over `presets`, or added as providers of their own.
void MergeSettingsSections(const std::string& settings_path, std::vector<ProviderPreset>& presets) {
  const PrivateProfile ini(settings_path);
  const std::string prefix = kSectionPrefix;
  for (const std::string& section : ini.SectionNames()) {
    if (!StartsWithIgnoringCase(section, prefix)) continue;
    std::string name = section.substr(prefix.size());
    const ProviderPreset* shipped = FindProviderPreset(presets, name);
    ProviderPreset merged = shipped ? *shipped : ProviderPreset{};
    if (!shipped) {
      merged.name = name;
      merged.sign_in = SignInMethod::kOAuth2;  // what a provider of one's own is for
    }
    SectionReader reader(ini, section);
    bool good = !name.empty() && name.size() <= kMaxNameLength && reader.Read(merged) && reader.ReadClient(merged.oauth);
    if (!good || (!shipped && !merged.HasOAuth())) continue;
    if (shipped)
      presets[static_cast<size_t>(shipped - presets.data())] = std::move(merged);
    else
      presets.push_back(std::move(merged));
  }
}

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

std::string ProviderSection(const std::string& name) { return kSectionPrefix + name; }

std::string ProviderPresetsPath() {
  std::vector<std::string> candidates;
  if (std::string program = ProgramPath(); !program.empty())
    candidates.push_back(FolderPart(program) + "../share/corvelle/providers.ini");
#ifdef CORVELLE_SOURCE_DATA_DIR
  candidates.push_back(CORVELLE_SOURCE_DATA_DIR "/providers.ini");
#endif
  for (const std::string& path : candidates)
    if (FileExists(path)) return path;
  return "";
}

std::vector<ProviderPreset> ReadProviderPresets(const std::string& presets_path, const std::string& settings_path) {
  std::vector<ProviderPreset> presets = ShippedPresets(presets_path);
  MergeSettingsSections(settings_path, presets);
  return presets;
}

std::vector<ProviderPreset> LoadProviderPresets(const Settings&) {
  return ReadProviderPresets(ProviderPresetsPath(), SettingsFilePath());
}

const ProviderPreset* FindProviderPreset(const std::vector<ProviderPreset>& presets, const std::string& name) {
  for (const ProviderPreset& preset : presets)
    if (SameNameIgnoringCase(preset.name, name)) return &preset;
  return nullptr;
}

const ProviderPreset* SuggestProviderPreset(const std::vector<ProviderPreset>& presets, const std::string& mail_address) {
  size_t at = mail_address.rfind('@');
  if (at == std::string::npos) return nullptr;
  std::string domain = AsciiLower(mail_address.substr(at + 1));
  while (!domain.empty() && (domain.back() == '>' || domain.back() == ' ')) domain.pop_back();
  for (const ProviderPreset& preset : presets)
    for (const std::string& known : preset.domains)
      if (domain == known) return &preset;
  return nullptr;
}

bool AccountOAuth(const Settings& settings, OAuthEndpoints& endpoints, std::string& why) {
  return ProviderOAuth(settings, settings.Secure.Provider, endpoints, why);
}

bool ProviderOAuth(const Settings& settings, const std::string& name, OAuthEndpoints& endpoints, std::string& why) {
  const std::string where = "Setup, " + AccountSetupPage(settings);
  if (name.empty()) {
    why = "Signing in with OAuth2 needs a provider: choose one under " + where + ", Provider.";
    return false;
  }
  std::vector<ProviderPreset> presets = LoadProviderPresets(settings);
  const ProviderPreset* preset = FindProviderPreset(presets, name);
  const std::string section = "section [" + ProviderSection(name) + "] of " + SettingsFilePath();
  if (!preset) {
    why = "The provider " + Quoted(name) + " is unknown: it has no preset, and no " + section +
          " names its AuthorizeUrl and TokenUrl.";
    return false;
  }
  if (!preset->HasOAuth()) {
    why = "The provider " + Quoted(name) + " offers no OAuth2 sign-in: choose Password under " + where +
          ", Sign in with, and use an app password.";
    return false;
  }
  if (preset->oauth.client_id.empty()) {
    why = "No OAuth2 client ID is set for " + Quoted(name) + ": register one with the provider (see the user guide) and enter it under " +
          where + ", OAuth2 client ID (it is kept in " + section + ").";
    return false;
  }
  if (preset->client_secret_required && preset->oauth.client_secret.empty()) {
    why = "The provider " + Quoted(name) + " wants the OAuth2 client's secret too: enter it under " + where +
          ", Client secret.";
    return false;
  }
  endpoints = preset->oauth;
  return true;
}

bool SaveProviderClient(const std::string& provider, const std::string& client_id, const std::string& client_secret) {
  PrivateProfile ini(SettingsFilePath());
  const std::string section = ProviderSection(provider);
  auto has = [&ini, &section](const char* key) {
    for (const std::string& present : ini.SectionKeys(section))
      if (SameNameIgnoringCase(present, key)) return true;
    return false;
  };
  for (const auto& [key, value] : {std::pair{kClientId, &client_id}, std::pair{kClientSecret, &client_secret}})
    if (!value->empty() || has(key)) ini.WriteString(section, key, *value);
  return ini.Save();
}

}  // namespace corvelle
