#include "ui/setup/account_editor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <charconv>

#include "core/settings/settings.h"
#include "core/store/addresses.h"
#include "core/store/folder_files.h"
#include "core/user_interface.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "ui/common/byte_fields.h"
#include "ui/common/hinted_edit.h"
#include "ui/common/named.h"
#include "ui/common/qt_text.h"
#include "ui/folders/folder_select.h"
#include "ui/main/services.h"
#include "ui/setup/provider_fields.h"
#include "ui/setup/security_fields.h"

namespace corvelle {
namespace {

constexpr const char* kSignatures = "System/Signatures/";

bool ValidPort(const std::string& text) {
  int port = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
  return error == std::errc() && end == text.data() + text.size() && port > 0 && port <= 65535;
}

// What is wrong with `name` as an account's name; "" when nothing is.
std::string NameProblem(const std::string& name, const std::vector<std::string>& taken) {
  if (name.empty()) return "The account needs a name.";
  if (name.find_first_of("]\r\n") != std::string::npos) return "An account's name cannot hold \"]\" or a line break.";
  if (name.size() > kMaxAccountName)
    return "An account's name is at most " + std::to_string(kMaxAccountName) + " characters long.";
  for (const std::string& other : taken)
    if (SameNameIgnoringCase(other, name)) return "There is an account named \"" + other + "\" already.";
  return "";
}

}  // namespace

TAccountEditor::TAccountEditor(Services& services, const AccountEntry& entry, std::vector<std::string> taken,
                               QWidget* parent)
    : QDialog(parent), services_(services), entry_(entry), taken_(std::move(taken)) {
  setObjectName("AccountEditor");
  setWindowTitle("Mail Account");
  AccountNameTxt = HintedEdit(nullptr, "AccountNameTxt", "The account's name: menus, progress and filter rules show it.");
  MakeServerFields(nullptr);  // placed by the layout, so tab follows the rows
  SignatureBox = Named(new QComboBox, "SignatureBox");
  SignatureBox->setAccessibleName("Signature");
  FolderTxt = HintedEdit(nullptr, "FolderTxt", "Where mail that no filter rule takes goes; empty: the default mail folder.");
  FolderBtn = Named(new QPushButton("Choose..."), "FolderBtn");
  connect(FolderBtn, &QPushButton::clicked, this, &TAccountEditor::FolderBtnClick);

  // The form is in the dialog before its rows: the field groups set the tab order among them.
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  layout->addLayout(form);
  form->addRow("Account name:", AccountNameTxt);
  AddServerRows(form);
  form->addRow("Signature:", SignatureBox);
  form->addRow(QString(), LeaveMail);
  auto* folder = new QHBoxLayout;
  folder->addWidget(FolderTxt, 1);
  folder->addWidget(FolderBtn);
  form->addRow("Folder for unfiltered mail:", folder);
  SecurityRows = new SecurityFields(form, SendSvrPortTxt, ServerPortTxt);
  ProviderRows = new ProviderFields(form, {SendSvrTxt, SendSvrPortTxt, MailServerTxt, ServerPortTxt, PasswordTxt,
                                           MailAddressTxt, SecurityRows});
  setTabOrder(ProviderRows->ClientSecretTxt, AccountNameTxt);
  setTabOrder(AccountNameTxt, SendSvrTxt);

  OKBtn = Named(new QPushButton("OK"), "OKBtn");
  CancelBtn = Named(new QPushButton("Cancel"), "CancelBtn");
  OKBtn->setDefault(true);
  connect(OKBtn, &QPushButton::clicked, this, &TAccountEditor::OKBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  layout->addLayout(buttons);
  Load();
  AccountNameTxt->setFocus();  // a new account starts with its name
}

TAccountEditor::~TAccountEditor() = default;

// The fields from the account's settings, as the User settings page fills its own.
void TAccountEditor::Load() {
  const Account& a = entry_.account;
  const Settings s = AccountSettings(services_.settings, a);
  SetFieldBytes(AccountNameTxt, a.Name, FieldKind::kText);
  LoadServerFields(s);
  SetFieldBytes(FolderTxt, a.Folder, FieldKind::kPath);
  SecurityRows->Load(s);
  ProviderRows->Load(s);
  SetFieldBytes(PasswordTxt, entry_.passwords.mail, FieldKind::kText);
  SetFieldBytes(SecurityRows->SendPasswordTxt, entry_.passwords.send, FieldKind::kText);
  FillSignatures(a.Signature);
}

void TAccountEditor::FillSignatures(const std::string& current) {
  SignatureBox->addItem("(none)");
  std::vector<std::string> files;
  ListFolderFiles(services_.ui, services_.settings.MailDirectory + kSignatures, files);
  int selected = 0;
  for (const std::string& file : files) {
    if (!current.empty() && SameNameIgnoringCase(file, NamePart(current))) selected = SignatureBox->count();
    AddPathItem(SignatureBox, services_.settings.MailDirectory + kSignatures + file);
    SignatureBox->setItemText(SignatureBox->count() - 1, PathToQt(file));
  }
  if (!current.empty() && selected == 0) {  // kept, though the signature folder does not hold it
    selected = SignatureBox->count();
    AddPathItem(SignatureBox, current);
  }
  SignatureBox->setCurrentIndex(selected);
}

void TAccountEditor::Store() {
  Settings s = AccountSettings(services_.settings, entry_.account);
  SecurityRows->Store(s);
  ProviderRows->Store(s);
  StoreServerFields(s);
  Account& a = entry_.account;
  const Account kept = a;
  a = FirstAccount(s);  // the account's keys as the settings hold them
  a.Name = TrimBlanks(FieldBytes(AccountNameTxt, FieldKind::kText));
  a.Enabled = kept.Enabled;
  a.PassWord = kept.PassWord;
  a.SendPassWord = kept.SendPassWord;
  a.Signature = SignatureBox->currentIndex() > 0 ? CurrentPathItem(SignatureBox) : "";
  a.Folder = FieldBytes(FolderTxt, FieldKind::kPath);
  entry_.passwords = {FieldBytes(PasswordTxt, FieldKind::kText),
                      FieldBytes(SecurityRows->SendPasswordTxt, FieldKind::kText)};
}

bool TAccountEditor::Refuse(QWidget* field, const std::string& text) {
  ShowMessage(services_.ui, text);
  field->setFocus();
  return false;
}

bool TAccountEditor::CheckInput() {
  const Account& a = entry_.account;
  if (std::string problem = NameProblem(a.Name, taken_); !problem.empty()) return Refuse(AccountNameTxt, problem);
  if (a.MailServer.empty()) return Refuse(MailServerTxt, "The account needs its mail (POP3) server.");
  if (!ValidPort(a.MailPort)) return Refuse(ServerPortTxt, "The mail server port is a number from 1 to 65535.");
  if (a.UserName.empty()) return Refuse(UserNameTxt, "The account needs the user name for its mail server.");
  if (a.MailAddress.empty()) return Refuse(MailAddressTxt, "The account needs the email address it sends as.");
  if (a.SendServer.empty()) return Refuse(SendSvrTxt, "The account needs its send mail (SMTP) server.");
  if (!ValidPort(a.SendPort)) return Refuse(SendSvrPortTxt, "The send mail port is a number from 1 to 65535.");
  return true;
}

void TAccountEditor::OKBtnClick() {
  Store();
  if (!CheckInput()) return;
  // The client belongs to the provider, whichever account signs in with it: kept at once.
  if (!ProviderRows->SaveClient())
    ShowMessage(services_.ui, "The OAuth2 client could not be written to " + SettingsFilePath() + ".");
  accept();
}

void TAccountEditor::FolderBtnClick() {
  TFolderSelect dialog(services_.ui, services_.Store(), this);
  dialog.MakeSingleSel();
  if (dialog.exec() == QDialog::Accepted && !dialog.GetFolders().empty())
    SetFieldBytes(FolderTxt, dialog.GetFolders(), FieldKind::kPath);
}

}  // namespace corvelle
