#pragma once
// The setup dialog: every setting of the settings file on five pages. Created for one
// modal showing (ShowSetupPage). It edits the run's settings: creation reloads them from
// the file, and only a successful OK writes the file.

#include <QDialog>
#include <QFont>
#include <string>

#include "core/settings/setup_check.h"
#include "ui/main/services.h"
#include "ui/setup/server_fields.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;

namespace corvelle {

class KeyringFields;
class TAccountsPage;
class PopupComboBox;
class TFilterEditor;
class SecurityFields;
class ProviderFields;

class TSetupDlg : public QDialog, public SetupFields, public ServerFields {
  Q_OBJECT
 public:
  explicit TSetupDlg(Services& services, QWidget* parent = nullptr);  // FormCreate
  ~TSetupDlg() override;

  // Shows the page whose tab caption equals `name` ignoring case. False when none does.
  bool SelectPage(const std::string& name);

  // The completeness check of the settings, with this dialog's fields reset as it says.
  SetupField FullSetupEntered(bool create_dirs);
  bool CheckMailDirectory(bool create);
  // Shows the page of a failed field and focuses it.
  void SetEmptyFocus(SetupField code);
  // Lists the signature files without extension and selects `name` (ignoring case),
  // else the first.
  void FillSignatureList(const std::string& name);

  // Handlers.
  void OKBtnClick();
  void CancelBtnClick();
  void CreateSigClick();
  void CreateABClick();
  void SetDefFontBtnClick();
  void DefSignatureClick();

  // The dialog may close: set by a successful OK and by Cancel.
  bool CloseOK = false;

  // The notebook and its pages.
  QTabWidget* Setup;
  QWidget* FiltersPage;
  TFilterEditor* Filters;  // the Filters page itself
  QWidget* DirectoriesPage;
  QWidget* UserSettingsPage;
  TAccountsPage* AccountsPage;  // the accounts after the first
  QWidget* PreferencesPage;
  // Directories.
  QLineEdit* MailDirectoryTxt;
  QLineEdit* DefMailFolderTxt;
  PopupComboBox* DefSignature;
  QPushButton* CreateSig;
  QComboBox* DefAddressBook;
  QPushButton* CreateAB;
  // User settings (the server fields: ServerFields).
  QCheckBox* CheckMail;        // "Check for new mail every", with the minutes beside it
  QSpinBox* CheckMailMinutes;  // enabled while CheckMail is checked
  SecurityFields* SecurityRows;  // the security rows of the User settings page
  KeyringFields* KeyringRow;     // the keyring check box and where the passwords go
  ProviderFields* ProviderRows;  // the provider and sign-in rows at its top
  // Preferences.
  QCheckBox* ExitAfterCmd;
  QCheckBox* RememberPos;
  QPushButton* SetDefFontBtn;
  // Buttons.
  QPushButton* OKBtn;
  QPushButton* CancelBtn;
  QPushButton* HelpBtn;

 protected:
  void closeEvent(QCloseEvent* event) override;  // FormCloseQuery
  void keyPressEvent(QKeyEvent* event) override;

  // SetupFields.
  void ShowMailDirectory(const std::string& directory) override;
  void ResetField(SetupField field, const std::string& text) override;

 private:
  QWidget* MakeDirectoriesPage();
  QWidget* MakeUserSettingsPage();
  QWidget* MakePreferencesPage();
  void LoadFields();
  void CarrySignatureOver();
  void StoreDirectoryFields(Settings& s);
  void StoreUserFields(Settings& s);
  void FillAddressBooks();
  QLineEdit* FieldEdit(SetupField field) const;

  Services& services_;
  QFont font_dialog_font_;  // the font dialog's font, kept between uses
};

// Opens the setup dialog on the page named `page` (ignoring case), runs it modally and
// destroys it. When it did not close with OK and `must_complete`, says that Corvelle
// cannot run and ends the program (the services' end) with exit code 0. True when it closed with OK.
bool ShowSetupPage(Services& services, const std::string& page, bool must_complete, QWidget* parent = nullptr);

}  // namespace corvelle
