#include "core/signin/keyring_passwords.h"

#include <algorithm>

#include "core/accounts/account.h"
#include "core/settings/settings.h"
#include "core/signin/secret_store.h"
#include "core/signin/settings_credentials.h"
#include "core/user_interface.h"
#include "platform/profile.h"

namespace corvelle {
namespace {

constexpr const char* kNoKeyring =
    "No system keyring answers, so your passwords stay in Corvelle's settings file, scrambled as before.";

// The settings file's scrambled password of each slot.
std::string* StoredSlot(Settings& settings, bool send) {
  return send ? &settings.Secure.SendPassWord : &settings.PassWord;
}

// One slot into the keyring: true when the keyring took it (the settings slot is emptied).
bool WriteSlot(UserInterface& ui, SecretStore& store, const std::string& key, const std::string& password,
               std::string& stored) {
  if (store.Write(key, password) == SecretStore::Result::kDone) {
    stored.clear();
    return true;
  }
  ShowMessage(ui, "The system keyring did not take the password for " + key +
                      ", so it stays in Corvelle's settings file, scrambled as before.");
  return false;
}

// Every scrambled password of the settings: the first account's two, then each further one's.
std::vector<std::string> StoredSlots(const Settings& settings) {
  std::vector<std::string> slots{settings.PassWord, settings.Secure.SendPassWord};
  for (const Account& account : settings.Accounts) slots.insert(slots.end(), {account.PassWord, account.SendPassWord});
  return slots;
}

}  // namespace

std::string KeyringKey(const std::string& kind, const std::string& user, const std::string& host) {
  return kind + " " + user + "@" + host;
}

PasswordSlots PasswordKeys(const Settings& settings) {
  PasswordSlots keys{KeyringKey("pop3", settings.UserName, settings.MailServer), ""};
  if (OwnSendLogin(settings)) keys.send = KeyringKey("smtp", settings.Secure.SendUserName, settings.SendServer);
  return keys;
}

bool KeyringInUse(const Settings& settings, const SecretStore* store) {
  return store && settings.Secure.UseKeyring != "0";
}

bool PasswordKept(const Settings& settings, const SecretStore* store) {
  // An account that signs in with OAuth2 needs none: its sign-in happens in the browser.
  return AccountSignIn(settings) == SignInMethod::kOAuth2 || !settings.PassWord.empty() ||
         KeyringInUse(settings, store);
}

bool KeptPassword(const Settings& settings, SecretStore* store, LoginTarget::Service service, std::string& password,
                  std::string& why) {
  // The settings file first: it holds a password only where the keyring does not (a file
  // from before, no keyring, a keyring that refused it), so that one is the newest.
  const std::string& stored = StoredPassword(settings, service);
  password = DecodePassword(stored);
  if (!stored.empty() || !KeyringInUse(settings, store)) return true;
  PasswordSlots keys = PasswordKeys(settings);
  const std::string& key = service == LoginTarget::Service::kSmtp && OwnSendLogin(settings) ? keys.send : keys.mail;
  SecretStore::Result result = store->Read(key, password);
  if (result == SecretStore::Result::kDone) return true;
  password.clear();
  why = result == SecretStore::Result::kMissing
            ? "The system keyring holds no password for " + key + ": enter it under Setup, " + AccountSetupPage(settings) + "."
            : "The system keyring did not give the password for " + key + " (it is locked or does not answer).";
  return false;
}

PasswordSlots KeptPasswords(const Settings& settings, SecretStore* store) {
  PasswordSlots shown;
  std::string why;
  KeptPassword(settings, store, LoginTarget::Service::kPop3, shown.mail, why);
  if (OwnSendLogin(settings))
    KeptPassword(settings, store, LoginTarget::Service::kSmtp, shown.send, why);
  else
    shown.send = DecodePassword(settings.Secure.SendPassWord);
  return shown;
}

std::vector<std::string> KeepPasswords(UserInterface& ui, Settings& settings, SecretStore* store,
                                       const PasswordSlots& before, const PasswordSlots& entered,
                                       bool& told_no_keyring) {
  settings.PassWord = EncodePassword(entered.mail);
  settings.Secure.SendPassWord = EncodePassword(entered.send);
  if (!store) {
    if (settings.Secure.UseKeyring == "1" && !told_no_keyring) ShowMessage(ui, kNoKeyring);
    told_no_keyring = told_no_keyring || settings.Secure.UseKeyring == "1";
    return {};
  }
  bool in_use = KeyringInUse(settings, store);
  PasswordSlots keys = PasswordKeys(settings);
  std::vector<std::string> left;
  for (bool send : {false, true}) {
    const std::string& key = send ? keys.send : keys.mail;
    const std::string& old_key = send ? before.send : before.mail;
    const std::string& password = send ? entered.send : entered.mail;
    // An empty field (nothing typed, or a keyring that could not be read) leaves the
    // keyring's entry as it is.
    if (!key.empty() && !password.empty()) {
      // Out of the keyring when the password went back to the settings file.
      if (!in_use || !WriteSlot(ui, *store, key, password, *StoredSlot(settings, send))) left.push_back(key);
    }
    if (!old_key.empty() && old_key != key) left.push_back(old_key);
  }
  return left;
}

bool MovePasswordsToKeyring(UserInterface& ui, Settings& settings, SecretStore* store) {
  const Settings before = settings;
  if (!KeyringInUse(settings, store)) return false;
  bool told = true;  // a keyring answers: there is nothing to tell about its absence
  if (!before.PassWord.empty() || !before.Secure.SendPassWord.empty())
    KeepPasswords(ui, settings, store, PasswordKeys(settings),
                  {DecodePassword(before.PassWord), DecodePassword(before.Secure.SendPassWord)}, told);
  for (Account& account : settings.Accounts)
    if (!account.PassWord.empty() || !account.SendPassWord.empty())
      KeepAccountPasswords(ui, settings, account, store, PasswordKeys(AccountSettings(settings, account)),
                           {DecodePassword(account.PassWord), DecodePassword(account.SendPassWord)}, told);
  if (StoredSlots(settings) == StoredSlots(before)) return false;
  if (SaveStoredPasswords(settings)) return true;
  // Both copies now: the file's stays in use, as the password the user last saw working.
  ShowMessage(ui, "Corvelle could not write " + SettingsFilePath() +
                      "; the passwords now in the system keyring stay in the settings file as well.");
  settings = before;
  return false;
}

std::vector<std::string> KeepAccountPasswords(UserInterface& ui, const Settings& settings, Account& account,
                                              SecretStore* store, const PasswordSlots& before,
                                              const PasswordSlots& entered, bool& told_no_keyring) {
  Settings own = AccountSettings(settings, account);
  std::vector<std::string> left = KeepPasswords(ui, own, store, before, entered, told_no_keyring);
  account.PassWord = own.PassWord;
  account.SendPassWord = own.Secure.SendPassWord;
  return left;
}

std::vector<std::string> UnusedKeys(const Settings& settings, const SecretStore* store, std::vector<std::string> left) {
  if (!KeyringInUse(settings, store)) return left;
  std::vector<std::string> used;
  for (const Account& account : AllAccounts(settings)) {
    Settings own = AccountSettings(settings, account);
    PasswordSlots keys = PasswordKeys(own);
    if (own.PassWord.empty()) used.push_back(keys.mail);
    if (!keys.send.empty() && own.Secure.SendPassWord.empty()) used.push_back(keys.send);
  }
  std::erase_if(left, [&used](const std::string& key) { return std::ranges::find(used, key) != used.end(); });
  return left;
}

void RemoveLeftKeys(UserInterface& ui, SecretStore* store, const std::vector<std::string>& keys) {
  if (!store) return;
  std::string kept;
  for (const std::string& key : keys)
    if (store->Remove(key) == SecretStore::Result::kUnavailable) kept += (kept.empty() ? "" : ", ") + key;
  if (!kept.empty())
    ShowMessage(ui, "Corvelle could not remove " + kept + " from the system keyring; where it is still there, "
                    "remove it with the desktop's password manager.");
}

}  // namespace corvelle
