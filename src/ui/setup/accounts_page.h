#pragma once
// The setup dialog's Accounts page: the accounts after the first, in the order Get / Send
// All takes them, each with its Enabled check; Add..., Edit... (TAccountEditor), Remove,
// Move up and Move down. The first account is the User settings page's, which the page
// says. Nothing changes until the setup dialog's OK hands the accounts to the settings
// (Keep); Cancel leaves them as they were.

#include <QWidget>
#include <string>
#include <vector>

#include "ui/setup/account_editor.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace corvelle {

struct Services;
struct Settings;
class UserInterface;

class TAccountsPage : public QWidget {
  Q_OBJECT
 public:
  explicit TAccountsPage(Services& services, QWidget* parent = nullptr);

  // The accounts of the run's settings, with their passwords from wherever they are kept.
  void Load();
  // The accounts as listed into `s` (whose User settings page fields are stored: the
  // keyring choice is its), their passwords kept as the first account's are. Returns the
  // keyring keys to remove once the settings file is written: those the passwords left and
  // those of the accounts removed.
  std::vector<std::string> Keep(UserInterface& ui, Settings& s);

  void AddBtnClick();
  void EditBtnClick();
  void RemoveBtnClick();
  void MoveUpBtnClick();
  void MoveDownBtnClick();

  QLabel* FirstAccountNote;  // where the first account is set
  QListWidget* AccountList;  // checkable: the Enabled check
  QPushButton* AddBtn;
  QPushButton* EditBtn;
  QPushButton* RemoveBtn;
  QPushButton* MoveUpBtn;
  QPushButton* MoveDownBtn;

 private:
  // Opens the editor on `entry`; true, with `entry` as entered, when it closed with OK.
  bool RunEditor(AccountEntry& entry, int editing);
  void ShowEntries(int current);
  void Move(int by);
  void ShowButtons();

  Services& services_;
  std::vector<AccountEntry> entries_;  // as listed
  std::vector<PasswordSlots> removed_keys_;
};

}  // namespace corvelle
