#pragma once
// The settings of secure connections, kept in keys of section "main" of their own so that
// every older key keeps its meaning: the security of each server, the user name and
// password for sending, the certificates the user trusted by fingerprint, and the servers
// the user allowed a password without encryption.

#include <map>
#include <set>
#include <string>

namespace corvelle {

class PrivateProfile;
struct Settings;

// How a connection to a server is made safe. The texts are what the settings file and the
// setup dialog show.
enum class Security { kTls, kStartTls, kNone };
inline constexpr const char* kSecurityTexts[] = {"SSL/TLS", "STARTTLS", "None"};
const char* SecurityText(Security security);
// The usual port of each choice, in the order of Security.
inline constexpr const char* kMailPorts[] = {"995", "110", "110"};
inline constexpr const char* kSendPorts[] = {"465", "587", "25"};
// The choice named by `text`; "" (a file from before these keys) gives SSL/TLS on port 995
// or 465 and None otherwise, so an old setup behaves as it did.
Security SecurityFromText(const std::string& text, const std::string& port);

struct SecuritySettings {
  std::string MailSecurity, SendSecurity;  // texts as stored; "" when the key is missing
  std::string SendUserName;                // "" sends with the POP3 user name and password
  std::string SendPassWord;                // scrambled like PassWord
  std::set<std::string> ClearPasswordServers;  // "host:port" the user allowed a password without TLS
  std::map<std::string, std::string> TrustedCertificates;  // "host:port" -> SHA-256 fingerprint
  std::string SignIn;      // "Password" or "OAuth2" (core/signin/credentials.h); "": a password
  std::string Provider;    // the provider preset chosen on the User settings page; "": none
  std::string UseKeyring;  // "1" or "0": passwords in the system keyring; "": on where one answers
};

void LoadSecuritySettings(const PrivateProfile& ini, SecuritySettings& s);
void SaveSecuritySettings(PrivateProfile& ini, const SecuritySettings& s);

// The security in effect for retrieval and for sending under `settings`.
Security MailSecurity(const Settings& settings);
Security SendSecurity(const Settings& settings);

// The fingerprint the user trusted for `server` ("host:port"), "" when none.
std::string TrustedFingerprint(const Settings& settings, const std::string& server);
// Remembers `fingerprint` for `server` in `settings` and in the settings file at once.
// False when the file could not be written (the trust still holds for this run).
bool TrustFingerprint(Settings& settings, const std::string& server, const std::string& fingerprint);
// Writes the settings file's password keys ("PassWord", and "SendPassWord" where it is set
// or was there, and both of each further account's section) as `settings` hold them,
// touching nothing else. False when the file could not
// be written.
bool SaveStoredPasswords(const Settings& settings);
// Whether the user allowed sending a password without encryption to `server` ("host:port").
bool ClearPasswordAllowed(const Settings& settings, const std::string& server);
// Records that allowance for `server` in `settings` and in the settings file at once.
// False when the file could not be written (it still holds for this run).
bool AllowClearPassword(Settings& settings, const std::string& server);

}  // namespace corvelle
