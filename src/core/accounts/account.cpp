#include "core/accounts/account.h"

#include "core/settings/settings.h"
#include "core/store/addresses.h"
#include "platform/paths.h"

namespace corvelle {

Account FirstAccount(const Settings& s) {
  Account a;
  a.Name = s.AccountName;
  a.MailServer = s.MailServer;
  a.MailPort = s.MailPort;
  a.MailSecurity = s.Secure.MailSecurity;
  a.UserName = s.UserName;
  a.PassWord = s.PassWord;
  a.SignIn = s.Secure.SignIn;
  a.Provider = s.Secure.Provider;
  a.LeaveMailOnServer = s.LeaveMailOnServer;
  a.MyName = s.MyName;
  a.MailAddress = s.MailAddress;
  a.Signature = s.Signature;
  a.SendServer = s.SendServer;
  a.SendPort = s.SendPort;
  a.SendSecurity = s.Secure.SendSecurity;
  a.SendUserName = s.Secure.SendUserName;
  a.SendPassWord = s.Secure.SendPassWord;
  return a;
}

std::vector<Account> AllAccounts(const Settings& settings) {
  std::vector<Account> all{FirstAccount(settings)};
  all.insert(all.end(), settings.Accounts.begin(), settings.Accounts.end());
  return all;
}

std::string AccountTitle(const Account& account) {
  if (!account.Name.empty()) return account.Name;
  if (!account.MailAddress.empty()) return account.MailAddress;
  return account.UserName + "@" + account.MailServer;
}

const Account* FindAccount(const std::vector<Account>& accounts, const std::string& name) {
  for (const Account& account : accounts)
    if (SameNameIgnoringCase(AccountTitle(account), name)) return &account;
  return nullptr;
}

Settings AccountSettings(const Settings& base, const Account& a) {
  Settings s = base;
  s.AccountName = a.Name;
  s.Accounts.clear();
  s.MailServer = a.MailServer;
  s.MailPort = a.MailPort;
  s.Secure.MailSecurity = a.MailSecurity;
  s.UserName = a.UserName;
  s.PassWord = a.PassWord;
  s.Secure.SignIn = a.SignIn;
  s.Secure.Provider = a.Provider;
  s.LeaveMailOnServer = a.LeaveMailOnServer;
  if (!a.Folder.empty()) s.DefaultMailFolder = a.Folder;
  s.MyName = a.MyName;
  s.MailAddress = a.MailAddress;
  s.Signature = a.Signature;
  s.SendServer = a.SendServer;
  s.SendPort = a.SendPort;
  s.Secure.SendSecurity = a.SendSecurity;
  s.Secure.SendUserName = a.SendUserName;
  s.Secure.SendPassWord = a.SendPassWord;
  return s;
}

std::string AccountSetupPage(const Settings& settings) {
  // A further account's settings know of no other account, and have its name.
  bool further = settings.Accounts.empty() && !settings.AccountName.empty();
  return further ? "Accounts, " + settings.AccountName : "User settings";
}

const Account& IdentityFor(const std::vector<Account>& accounts, const std::string& from) {
  const std::string address = TrimBlanks(ExtractAddress(from));
  for (const Account& account : accounts)
    if (!account.MailAddress.empty() && SameNameIgnoringCase(TrimBlanks(ExtractAddress(account.MailAddress)), address))
      return account;
  return accounts.front();
}

}  // namespace corvelle
