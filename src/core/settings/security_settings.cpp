#include "core/settings/security_settings.h"

#include "core/accounts/account_sections.h"
#include "core/settings/settings.h"
#include "platform/paths.h"
#include "platform/profile.h"

namespace corvelle {
namespace {

constexpr const char* kMain = "main";
constexpr const char* kTrustPrefix = "TrustedCert:";
constexpr const char* kClearPrefix = "ClearAuth:";

// The part of `key` after `prefix`, "" when it does not start so.
std::string AfterPrefix(const std::string& key, const std::string& prefix) {
  return key.size() > prefix.size() && key.compare(0, prefix.size(), prefix) == 0 ? key.substr(prefix.size()) : "";
}

bool WriteKey(const std::string& key, const std::string& value) {
  PrivateProfile ini(SettingsFilePath());
  ini.WriteString(kMain, key, value);
  return ini.Save();
}

bool HasKey(const PrivateProfile& ini, const std::string& key) {
  for (const std::string& present : ini.SectionKeys(kMain))
    if (SameNameIgnoringCase(present, key)) return true;
  return false;
}

}  // namespace

const char* SecurityText(Security security) { return kSecurityTexts[static_cast<int>(security)]; }

Security SecurityFromText(const std::string& text, const std::string& port) {
  for (Security s : {Security::kTls, Security::kStartTls, Security::kNone})
    if (text == SecurityText(s)) return s;
  return port == "995" || port == "465" ? Security::kTls : Security::kNone;
}

void LoadSecuritySettings(const PrivateProfile& ini, SecuritySettings& s) {
  s.MailSecurity = ini.ReadString(kMain, "MailSecurity", "");
  s.SendSecurity = ini.ReadString(kMain, "SendSecurity", "");
  s.SendUserName = ini.ReadString(kMain, "SendUserName", "");
  s.SendPassWord = ini.ReadString(kMain, "SendPassWord", "");
  s.SignIn = ini.ReadString(kMain, "SignIn", "");
  s.Provider = ini.ReadString(kMain, "Provider", "");
  s.UseKeyring = ini.ReadString(kMain, "UseKeyring", "");
  // An older file's "ClearAuthConfirmed=1" allowed every server at once: it is not taken
  // over, so each server is asked about once more.
  for (const std::string& key : ini.SectionKeys(kMain)) {
    if (std::string server = AfterPrefix(key, kTrustPrefix); !server.empty())
      s.TrustedCertificates[server] = ini.ReadString(kMain, key, "");
    else if (std::string clear = AfterPrefix(key, kClearPrefix); !clear.empty() && ini.ReadString(kMain, key, "") == "1")
      s.ClearPasswordServers.insert(clear);
  }
}

void SaveSecuritySettings(PrivateProfile& ini, const SecuritySettings& s) {
  // Only what was set is written: a file from before these keys stays as it was, and keeps
  // meaning what it meant until the user chooses. A key already there is always written, so
  // a value the user emptied does not come back.
  auto write = [&ini](const char* key, const std::string& value, bool set) {
    if (set || HasKey(ini, key)) ini.WriteString(kMain, key, value);
  };
  write("MailSecurity", s.MailSecurity, !s.MailSecurity.empty());
  write("SendSecurity", s.SendSecurity, !s.SendSecurity.empty());
  write("SendUserName", s.SendUserName, !s.SendUserName.empty());
  write("SendPassWord", "\"" + s.SendPassWord + "\"", !s.SendPassWord.empty());
  write("SignIn", s.SignIn, !s.SignIn.empty());
  write("Provider", s.Provider, !s.Provider.empty());
  write("UseKeyring", s.UseKeyring, !s.UseKeyring.empty());
  for (const std::string& server : s.ClearPasswordServers) ini.WriteString(kMain, kClearPrefix + server, "1");
  for (const auto& [server, fingerprint] : s.TrustedCertificates)
    ini.WriteString(kMain, kTrustPrefix + server, fingerprint);
}

Security MailSecurity(const Settings& settings) {
  return SecurityFromText(settings.Secure.MailSecurity, settings.MailPort);
}

Security SendSecurity(const Settings& settings) {
  return SecurityFromText(settings.Secure.SendSecurity, settings.SendPort);
}

std::string TrustedFingerprint(const Settings& settings, const std::string& server) {
  auto found = settings.Secure.TrustedCertificates.find(server);
  return found == settings.Secure.TrustedCertificates.end() ? "" : found->second;
}

bool TrustFingerprint(Settings& settings, const std::string& server, const std::string& fingerprint) {
  settings.Secure.TrustedCertificates[server] = fingerprint;
  return WriteKey(kTrustPrefix + server, fingerprint);
}

bool SaveStoredPasswords(const Settings& settings) {
  PrivateProfile ini(SettingsFilePath());
  ini.WriteString(kMain, "PassWord", "\"" + settings.PassWord + "\"");
  if (!settings.Secure.SendPassWord.empty() || HasKey(ini, "SendPassWord"))
    ini.WriteString(kMain, "SendPassWord", "\"" + settings.Secure.SendPassWord + "\"");
  WriteAccountPasswords(ini, settings);
  return ini.Save();
}

bool ClearPasswordAllowed(const Settings& settings, const std::string& server) {
  return settings.Secure.ClearPasswordServers.contains(server);
}

bool AllowClearPassword(Settings& settings, const std::string& server) {
  settings.Secure.ClearPasswordServers.insert(server);
  return WriteKey(kClearPrefix + server, "1");
}

}  // namespace corvelle
