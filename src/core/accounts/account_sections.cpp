#include "core/accounts/account_sections.h"

#include "core/settings/settings.h"
#include "platform/paths.h"
#include "platform/profile.h"

namespace corvelle {
namespace {

constexpr std::string_view kPrefix = "Account ";
constexpr const char* kAccountName = "AccountName";

std::string AccountOfSection(const std::string& section) {
  return section.size() > kPrefix.size() && SameNameIgnoringCase(std::string_view(section).substr(0, kPrefix.size()), kPrefix)
             ? section.substr(kPrefix.size())
             : "";
}

// The text keys of an account section, with the member each is kept in.
struct TextKey {
  const char* key;
  std::string Account::*member;
  bool quoted;  // passwords: blanks and quotes at either end must survive
};
constexpr TextKey kTextKeys[] = {
    {"MailServer", &Account::MailServer, false},     {"MailPort", &Account::MailPort, false},
    {"MailSecurity", &Account::MailSecurity, false}, {"UserName", &Account::UserName, false},
    {"PassWord", &Account::PassWord, true},          {"SignIn", &Account::SignIn, false},
    {"Provider", &Account::Provider, false},         {"Folder", &Account::Folder, false},
    {"MyName", &Account::MyName, false},             {"MailAddress", &Account::MailAddress, false},
    {"Signature", &Account::Signature, false},       {"SendServer", &Account::SendServer, false},
    {"SendPort", &Account::SendPort, false},         {"SendSecurity", &Account::SendSecurity, false},
    {"SendUserName", &Account::SendUserName, false}, {"SendPassWord", &Account::SendPassWord, true},
};

Account ReadAccount(const PrivateProfile& ini, const std::string& section, const std::string& name) {
  Account a;
  a.Name = name;
  for (const TextKey& k : kTextKeys) a.*k.member = ini.ReadString(section, k.key, "");
  a.Enabled = ini.ReadString(section, "Enabled", "1").substr(0, 1) != "0";
  a.LeaveMailOnServer = ini.ReadString(section, "LeaveMailOnServer", "0").substr(0, 1) == "1";
  return a;
}

std::string SectionOf(const Account& a) { return std::string(kPrefix) + a.Name; }

void WriteAccount(PrivateProfile& ini, const Account& a) {
  const std::string section = SectionOf(a);
  ini.WriteString(section, "Enabled", a.Enabled ? "1" : "0");
  for (const TextKey& k : kTextKeys) {
    const std::string& value = a.*k.member;
    ini.WriteString(section, k.key, k.quoted ? "\"" + value + "\"" : value);
  }
  ini.WriteString(section, "LeaveMailOnServer", a.LeaveMailOnServer ? "1" : "0");
}

bool HasMainKey(const PrivateProfile& ini, const char* key) {
  for (const std::string& present : ini.SectionKeys("main"))
    if (SameNameIgnoringCase(present, key)) return true;
  return false;
}

}  // namespace

void ReadAccountSections(const PrivateProfile& ini, Settings& s) {
  s.AccountName = ini.ReadString("main", kAccountName, "").substr(0, kMaxAccountName);
  s.Accounts.clear();
  for (const std::string& section : ini.SectionNames()) {
    std::string name = AccountOfSection(section);
    if (name.empty() || name.size() > kMaxAccountName) continue;
    bool taken = SameNameIgnoringCase(name, s.AccountName);
    for (const Account& other : s.Accounts) taken = taken || SameNameIgnoringCase(other.Name, name);
    if (!taken) s.Accounts.push_back(ReadAccount(ini, section, name));
  }
}

void WriteAccountSections(PrivateProfile& ini, const Settings& s) {
  if (!s.AccountName.empty() || HasMainKey(ini, kAccountName)) ini.WriteString("main", kAccountName, s.AccountName);
  std::vector<std::string> present;
  for (const std::string& section : ini.SectionNames())
    if (!AccountOfSection(section).empty()) present.push_back(section);
  if (present.empty() && s.Accounts.empty()) return;
  for (const std::string& section : present) ini.EraseSection(section);
  for (const Account& account : s.Accounts) WriteAccount(ini, account);
}

void WriteAccountPasswords(PrivateProfile& ini, const Settings& s) {
  for (const Account& account : s.Accounts) {
    ini.WriteString(SectionOf(account), "PassWord", "\"" + account.PassWord + "\"");
    ini.WriteString(SectionOf(account), "SendPassWord", "\"" + account.SendPassWord + "\"");
  }
}

}  // namespace corvelle
