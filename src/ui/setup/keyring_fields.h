#pragma once
// The system keyring on the setup dialog's User settings page: the check box "Keep
// passwords in the system keyring" (Settings::Secure.UseKeyring, written only once the user
// changes it), the password fields filled from wherever the passwords are kept, and the
// passwords entered kept there on OK (core/signin/keyring_passwords.h).

#include <QObject>
#include <string>
#include <vector>

#include "core/signin/keyring_passwords.h"

class QCheckBox;
class QFormLayout;
class QLineEdit;

namespace corvelle {

struct Settings;
class SecretStore;
class UserInterface;

class KeyringFields : public QObject {
  Q_OBJECT

 public:
  // Adds the check box to `form` below the row of `password` (the POP3 one); `store` is
  // the run's keyring, null when none answers (the box is then disabled, saying why).
  KeyringFields(QFormLayout* form, QLineEdit* password, QLineEdit* send_password, SecretStore* store);

  // The check box from `s`, and both password fields from where `s` keeps them.
  void Load(const Settings& s);
  // The check box into `s`, when the user changed it.
  void Store(Settings& s) const;
  // The passwords entered into the keyring or the settings `s` (whose other fields are
  // stored); returns the keys to remove once the settings file is written (RemoveLeft).
  std::vector<std::string> Keep(UserInterface& ui, Settings& s);
  void RemoveLeft(UserInterface& ui, const std::vector<std::string>& keys);

  QCheckBox* UseKeyringBox;

 private:
  QLineEdit* password_;
  QLineEdit* send_password_;
  SecretStore* store_;
  bool loaded_checked_ = false;
  PasswordSlots loaded_keys_;
};

}  // namespace corvelle
