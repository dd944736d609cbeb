#pragma once
// The mail accounts of the settings: the first is the settings file's [main] server keys (a
// view of them, never a section of its own); further ones live in sections "[Account NAME]",
// one per account, in file order. A file with one account therefore reads and writes exactly
// as it did before there could be more.
//
// An account is where mail is retrieved from (POP3 server, login, leave-on-server, the folder
// its unfiltered mail goes into) and the identity it is sent as (name, address, signature,
// SMTP server and login). A transfer over an account runs on AccountSettings: the run's
// settings with the account's keys in place of the first account's, so the POP3 and SMTP
// components work on it unchanged.

#include <string>
#include <vector>

namespace corvelle {

struct Settings;

struct Account {
  std::string Name;     // the section's NAME; the first account's "AccountName" ("" when unset)
  bool Enabled = true;  // Get / Send All retrieves from it; the first account always is
  // Retrieval.
  std::string MailServer, MailPort, MailSecurity;  // security as stored (SecurityFromText)
  std::string UserName;
  std::string PassWord;  // scrambled like Settings::PassWord; "" when the keyring holds it
  std::string SignIn;    // "Password" / "OAuth2"; "": a password
  std::string Provider;  // the provider preset's name; "": none
  bool LeaveMailOnServer = false;
  std::string Folder;  // where mail no rule takes goes; "": the default mail folder
  // The identity.
  std::string MyName, MailAddress, Signature;
  std::string SendServer, SendPort, SendSecurity;
  std::string SendUserName;  // "": sends with the POP3 user name and password
  std::string SendPassWord;  // scrambled
};

// The longest account name; longer ones are cut when read.
inline constexpr size_t kMaxAccountName = 64;

// The first account: the [main] keys of `settings`.
Account FirstAccount(const Settings& settings);
// Every account: the first, then Settings::Accounts in order.
std::vector<Account> AllAccounts(const Settings& settings);
// The name shown for `account` (progress, menus, the *Account* condition): its Name, else
// its mail address, else USER@SERVER.
std::string AccountTitle(const Account& account);
// The account named `name` (its title, ignoring case), or null.
const Account* FindAccount(const std::vector<Account>& accounts, const std::string& name);

// The settings a transfer over `account` runs on: `base` with the account's retrieval and
// identity keys in place of the first account's, DefaultMailFolder the account's folder when
// it has one, and no further accounts (a run over one account knows of no other).
Settings AccountSettings(const Settings& base, const Account& account);

// Where the setup dialog shows the account that `settings` run on: "User settings" for the
// first, "Accounts, NAME" for a further one (its AccountSettings).
std::string AccountSetupPage(const Settings& settings);

// The identity a message from `from` (an address, or a whole From field) is sent as: the
// account whose MailAddress is that address, ignoring case; the first when none is.
const Account& IdentityFor(const std::vector<Account>& accounts, const std::string& from);

}  // namespace corvelle
