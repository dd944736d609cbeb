#pragma once
// The editor of one account after the first (the Accounts page's Add... and Edit...): its
// name, the POP3 server and login, the sign-in method and provider, leave-on-server, the
// folder for mail no rule takes, and the identity it sends as. The rows are those of the
// User settings page (SecurityFields, ProviderFields). OK checks the input and stays open
// with a message while something is wrong; nothing is written until the setup dialog's OK.

#include <QDialog>
#include <string>
#include <vector>

#include "core/accounts/account.h"
#include "core/signin/keyring_passwords.h"
#include "ui/setup/server_fields.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace corvelle {

struct Services;
class ProviderFields;
class SecurityFields;

// An account as the Accounts page holds it until the setup dialog's OK.
struct AccountEntry {
  Account account;          // its passwords as loaded: scrambled, or "" where the keyring holds them
  PasswordSlots loaded_keys;  // the keyring keys as loaded; {} for an account added
  PasswordSlots passwords;    // in clear, as shown and entered
};

class TAccountEditor : public QDialog, public ServerFields {
  Q_OBJECT
 public:
  // Shows `entry` over the run's settings; `taken` are the names (titles) of the other
  // accounts, the first's among them, which this one's may not equal ignoring case.
  TAccountEditor(Services& services, const AccountEntry& entry, std::vector<std::string> taken,
                 QWidget* parent = nullptr);
  ~TAccountEditor() override;

  // The account as entered (valid once OK closed the editor).
  const AccountEntry& Entry() const { return entry_; }

  // Checks the input: a message and false for the first thing wrong, its field focused.
  bool CheckInput();
  void OKBtnClick();
  void FolderBtnClick();

  QLineEdit* AccountNameTxt;
  QComboBox* SignatureBox;  // "(none)", then the files of the signature folder
  QLineEdit* FolderTxt;     // "": the default mail folder
  QPushButton* FolderBtn;
  SecurityFields* SecurityRows;
  ProviderFields* ProviderRows;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

 private:
  void Load();
  void FillSignatures(const std::string& current);
  void Store();
  bool Refuse(QWidget* field, const std::string& text);

  Services& services_;
  AccountEntry entry_;
  std::vector<std::string> taken_;
};

}  // namespace corvelle
