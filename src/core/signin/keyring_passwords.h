#pragma once
// The passwords of the account in the system keyring (a SecretStore) or, where the keyring
// is not used or does not answer, scrambled in the settings file as before. One place holds
// a password, never both. Keys: "pop3 USER@HOST" for retrieval, "smtp USER@HOST" for the
// send login of its own (Settings::Secure.SendUserName); without one, sending uses the
// POP3 password and so its key.

#include <string>
#include <vector>

#include "core/signin/credentials.h"

namespace corvelle {

struct Account;
struct Settings;
class SecretStore;
class UserInterface;

// The one spelling of a keyring key: "KIND USER@HOST" ("pop3", "smtp", "oauth2").
std::string KeyringKey(const std::string& kind, const std::string& user, const std::string& host);

// The two password slots of the settings: the POP3 login's (PassWord) and the send login's
// own (Secure.SendPassWord). Used for keys, and for passwords in clear.
struct PasswordSlots {
  std::string mail, send;
};

// The keys the passwords of `settings` go under; `send` is "" without a send login of its own.
PasswordSlots PasswordKeys(const Settings& settings);

// Whether passwords go to the keyring: Secure.UseKeyring is not "0" and `store` is given
// (the run gives none when no keyring answers).
bool KeyringInUse(const Settings& settings, const SecretStore* store);

// Whether the POP3 password is kept somewhere: in the settings file, or in the keyring while
// it is in use (not read there: a locked keyring would ask for its password at start-up).
// True for an account that signs in with OAuth2, which keeps none.
bool PasswordKept(const Settings& settings, const SecretStore* store);

// The password in clear that the login of `service` uses: the settings file's where it
// holds one (a file from before the keyring keeps working), else the keyring's while it is
// in use. False, with the reason in the user's words, when the keyring gives none then.
bool KeptPassword(const Settings& settings, SecretStore* store, LoginTarget::Service service, std::string& password,
                  std::string& why);

// What the password fields of the setup dialog show: each slot's password from wherever it
// is kept ("" where it cannot be read).
PasswordSlots KeptPasswords(const Settings& settings, SecretStore* store);

// Keeps the passwords the user `entered` (in clear) for `settings`, whose other fields are
// already those entered: in the keyring while it is in use, the settings slot emptied; else
// scrambled in the settings slot. `before` are the keys of the settings as they were
// loaded. Returns the keyring keys to remove once the settings file is written (the
// password left them: a user or server changed, the keyring turned off), so that a failed
// write of the file loses nothing. A keyring that refuses a password leaves it scrambled in
// the settings and says so; a keyring chosen (UseKeyring "1") with none answering is told
// once while `told_no_keyring` is false, which it then sets.
std::vector<std::string> KeepPasswords(UserInterface& ui, Settings& settings, SecretStore* store,
                                       const PasswordSlots& before, const PasswordSlots& entered,
                                       bool& told_no_keyring);

// KeepPasswords for `account`, one of Settings::Accounts of `settings` (whose keyring choice
// it follows): its slots set as the first account's are, the keyring keys to remove returned.
// `before` are the account's keys as loaded ({} for an account added).
std::vector<std::string> KeepAccountPasswords(UserInterface& ui, const Settings& settings, Account& account,
                                              SecretStore* store, const PasswordSlots& before,
                                              const PasswordSlots& entered, bool& told_no_keyring);

// The keys of `left` that no account of `settings` keeps its password under in the keyring
// now: two accounts may share a login, and one that goes must not take the other's password.
std::vector<std::string> UnusedKeys(const Settings& settings, const SecretStore* store, std::vector<std::string> left);

// Removes `keys` from the keyring (KeepPasswords' leftovers); says, once, which it could not.
void RemoveLeftKeys(UserInterface& ui, SecretStore* store, const std::vector<std::string>& keys);

// A settings file from before the keyring, read where one answers and is in use: its
// scrambled passwords, further accounts' too, move into the keyring, and the file's password
// keys are emptied (the only keys written). True when the file changed. What the keyring does not take stays in
// the file, and the user is told.
bool MovePasswordsToKeyring(UserInterface& ui, Settings& settings, SecretStore* store);

}  // namespace corvelle
