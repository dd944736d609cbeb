#include "core/settings/security_settings.h"

#include "core/settings/settings.h"
#include "platform/profile.h"

namespace corvelle {
namespace {

constexpr const char* kMain = "main";
constexpr const char* kTrustPrefix = "TrustedCert:";

bool WriteKey(const std::string& key, const std::string& value) {
  PrivateProfile ini(SettingsFilePath());
  ini.WriteString(kMain, key, value);
  return ini.Save();
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
  s.ClearAuthConfirmed = ini.ReadString(kMain, "ClearAuthConfirmed", "0") == "1" ? "1" : "0";
  const std::string prefix = kTrustPrefix;
  for (const std::string& key : ini.SectionKeys(kMain))
    if (key.size() > prefix.size() && key.compare(0, prefix.size(), prefix) == 0)
      s.TrustedCertificates[key.substr(prefix.size())] = ini.ReadString(kMain, key, "");
}

void SaveSecuritySettings(PrivateProfile& ini, const SecuritySettings& s) {
  // Only what was set is written: a file from before these keys stays as it was, and keeps
  // meaning what it meant until the user chooses.
  if (!s.MailSecurity.empty()) ini.WriteString(kMain, "MailSecurity", s.MailSecurity);
  if (!s.SendSecurity.empty()) ini.WriteString(kMain, "SendSecurity", s.SendSecurity);
  if (!s.SendUserName.empty()) ini.WriteString(kMain, "SendUserName", s.SendUserName);
  if (!s.SendPassWord.empty()) ini.WriteString(kMain, "SendPassWord", "\"" + s.SendPassWord + "\"");
  if (s.ClearAuthConfirmed == "1") ini.WriteString(kMain, "ClearAuthConfirmed", "1");
  for (const auto& [server, fingerprint] : s.TrustedCertificates)
    ini.WriteString(kMain, kTrustPrefix + server, fingerprint);
}

Security MailSecurity() { return SecurityFromText(MailSettings.Secure.MailSecurity, MailSettings.MailPort); }
Security SendSecurity() { return SecurityFromText(MailSettings.Secure.SendSecurity, MailSettings.SendPort); }

std::string TrustedFingerprint(const std::string& server) {
  auto found = MailSettings.Secure.TrustedCertificates.find(server);
  return found == MailSettings.Secure.TrustedCertificates.end() ? "" : found->second;
}

bool TrustFingerprint(const std::string& server, const std::string& fingerprint) {
  MailSettings.Secure.TrustedCertificates[server] = fingerprint;
  return WriteKey(kTrustPrefix + server, fingerprint);
}

void ConfirmClearAuth() {
  MailSettings.Secure.ClearAuthConfirmed = "1";
  WriteKey("ClearAuthConfirmed", "1");
}

}  // namespace corvelle
