#include "ui/setup/setup_dlg.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFontDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

#include "core/store/mail_store.h"
#include "core/store/file_naming.h"
#include "core/store/folder_files.h"
#include "core/store/message_text.h"
#include "core/settings/settings.h"
#include "core/signin/keyring_passwords.h"
#include "core/user_interface.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "ui/books/address_book_form.h"
#include "ui/common/byte_fields.h"
#include "ui/common/font_mapping.h"
#include "ui/common/popup_combo_box.h"
#include "ui/common/program_end.h"
#include "ui/common/qt_text.h"
#include "ui/setup/accounts_page.h"
#include "ui/setup/filter_editor.h"
#include "ui/common/hinted_edit.h"
#include "ui/common/named.h"
#include "ui/setup/keyring_fields.h"
#include "ui/setup/provider_fields.h"
#include "ui/setup/security_fields.h"

namespace corvelle {
namespace {

constexpr const char* kSignatures = "System/Signatures";
constexpr const char* kAddressBooks = "System/AddressBook";

// The lower-cased file name of a path, cut before its first "."; empty without a ".".
std::string SignatureBaseName(const std::string& path) {
  std::string name = NamePart(path);
  size_t dot = name.find('.');
  return dot == std::string::npos ? std::string() : AsciiLower(name.substr(0, dot));
}

std::string WithoutExtension(const std::string& name) {
  return name.substr(0, name.size() - FileExtension(name).size());
}

}  // namespace

TSetupDlg::TSetupDlg(Services& services, QWidget* parent) : QDialog(parent), services_(services) {
  setObjectName("SetupDlg");
  setWindowTitle("Mail Setup Dialog");

  Setup = Named(new QTabWidget(this), "Setup");
  Setup->setAccessibleName("Setup pages");
  FiltersPage = Filters = new TFilterEditor(services_);
  DirectoriesPage = MakeDirectoriesPage();
  UserSettingsPage = MakeUserSettingsPage();
  AccountsPage = new TAccountsPage(services_);
  PreferencesPage = MakePreferencesPage();
  Setup->addTab(FiltersPage, "Filters");
  Setup->addTab(DirectoriesPage, "Directories");
  Setup->addTab(UserSettingsPage, "User settings");
  Setup->addTab(AccountsPage, "Accounts");
  Setup->addTab(PreferencesPage, "Preferences");

  OKBtn = Named(new QPushButton("OK", this), "OKBtn");
  CancelBtn = Named(new QPushButton("Cancel", this), "CancelBtn");
  HelpBtn = Named(new QPushButton("&Help", this), "HelpBtn");
  HelpBtn->setEnabled(false);
  OKBtn->setDefault(true);
  connect(OKBtn, &QPushButton::clicked, this, &TSetupDlg::OKBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &TSetupDlg::CancelBtnClick);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  buttons->addWidget(HelpBtn);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Setup);
  layout->addLayout(buttons);
  resize(470, 340);

  LoadFields();
}

TSetupDlg::~TSetupDlg() = default;

QWidget* TSetupDlg::MakeDirectoriesPage() {
  auto* page = Named(new QWidget, "DirectoriesPage");
  MailDirectoryTxt = HintedEdit(page, "MailDirectoryTxt");
  SetFieldBytes(MailDirectoryTxt, DefaultMailDirectory(), FieldKind::kPath);
  DefMailFolderTxt = HintedEdit(page, "DefMailFolderTxt");
  DefMailFolderTxt->setText("Inbox");
  DefSignature = Named(new PopupComboBox(page), "DefSignature");
  DefSignature->setAccessibleName("Default signature");
  DefSignature->on_popup = [this] { DefSignatureClick(); };
  CreateSig = Named(new QPushButton("New Signature", page), "CreateSig");
  connect(CreateSig, &QPushButton::clicked, this, &TSetupDlg::CreateSigClick);
  DefAddressBook = Named(new QComboBox(page), "DefAddressBook");
  DefAddressBook->setAccessibleName("Default address book");
  CreateAB = Named(new QPushButton("Address books...", page), "CreateAB");
  connect(CreateAB, &QPushButton::clicked, this, &TSetupDlg::CreateABClick);

  auto* form = new QFormLayout(page);
  form->addRow("Mail Directory:", MailDirectoryTxt);
  form->addRow("Default Mail Folder:", DefMailFolderTxt);
  auto* signature = new QHBoxLayout;
  signature->addWidget(DefSignature, 1);
  signature->addWidget(CreateSig);
  form->addRow("Default signature:", signature);
  auto* books = new QHBoxLayout;
  books->addWidget(DefAddressBook, 1);
  books->addWidget(CreateAB);
  form->addRow("Default address book:", books);
  return page;
}

QWidget* TSetupDlg::MakeUserSettingsPage() {
  auto* page = Named(new QWidget, "UserSettingsPage");
  MakeServerFields(page);
  CheckMail = Named(new QCheckBox("Check for new mail every", page), "CheckMail");
  CheckMailMinutes = Named(new QSpinBox(page), "CheckMailMinutes");
  CheckMailMinutes->setRange(1, kMaxCheckMailMinutes);
  CheckMailMinutes->setSuffix(" minutes");
  CheckMailMinutes->setAccessibleName("Minutes between two checks for new mail");
  CheckMailMinutes->setValue(10);
  CheckMailMinutes->setEnabled(false);
  connect(CheckMail, &QCheckBox::toggled, CheckMailMinutes, &QWidget::setEnabled);

  auto* form = new QFormLayout(page);
  AddServerRows(form);
  form->addRow(QString(), LeaveMail);
  auto* check = new QHBoxLayout;
  check->addWidget(CheckMail);
  check->addWidget(CheckMailMinutes);
  check->addStretch();
  form->addRow(QString(), check);
  SecurityRows = new SecurityFields(form, SendSvrPortTxt, ServerPortTxt);
  // Tab goes down the page as it is laid out, through the security choices.
  QWidget* order[] = {SendSvrTxt,   SendSvrPortTxt, SecurityRows->SendSecurityBox, SecurityRows->SendUserTxt,
                      SecurityRows->SendPasswordTxt, MailServerTxt, ServerPortTxt, SecurityRows->MailSecurityBox,
                      UserNameTxt,  PasswordTxt,    NameTxt,     MailAddressTxt,  LeaveMail, CheckMail, CheckMailMinutes};
  for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
  KeyringRow = new KeyringFields(form, PasswordTxt, SecurityRows->SendPasswordTxt, services_.secrets);
  ProviderRows = new ProviderFields(form, {SendSvrTxt, SendSvrPortTxt, MailServerTxt, ServerPortTxt, PasswordTxt,
                                           MailAddressTxt, SecurityRows});
  return page;
}

QWidget* TSetupDlg::MakePreferencesPage() {
  auto* page = Named(new QWidget, "PreferencesPage");
  ExitAfterCmd = Named(new QCheckBox("Exit after command-line option processing", page), "ExitAfterCmd");
  RememberPos = Named(new QCheckBox("Remember window position on close", page), "RememberPos");
  SetDefFontBtn = Named(new QPushButton("Set default font", page), "SetDefFontBtn");
  connect(SetDefFontBtn, &QPushButton::clicked, this, &TSetupDlg::SetDefFontBtnClick);
  auto* layout = new QVBoxLayout(page);
  layout->addWidget(ExitAfterCmd);
  layout->addWidget(RememberPos);
  auto* font = new QHBoxLayout;
  font->addWidget(SetDefFontBtn);
  font->addStretch();
  layout->addLayout(font);
  layout->addStretch();
  return page;
}

void TSetupDlg::LoadFields() {
  ReloadRunSettings(services_);
  Settings& s = services_.settings;
  CloseOK = false;
  if (!s.MailDirectory.empty()) {
    SetFieldBytes(MailDirectoryTxt, s.MailDirectory, FieldKind::kPath);
    if (s.MailDirectory.back() != '/') s.MailDirectory += '/';
  }
  if (!s.DefaultMailFolder.empty()) SetFieldBytes(DefMailFolderTxt, s.DefaultMailFolder, FieldKind::kPath);
  LoadServerFields(s);
  SetFieldBytes(PasswordTxt, DecodePassword(s.PassWord), FieldKind::kText);
  SecurityRows->Load(s);
  KeyringRow->Load(s);  // the passwords from wherever they are kept
  ProviderRows->Load(s);
  AccountsPage->Load();
  CheckMail->setChecked(s.CheckMailMinutes > 0);
  if (s.CheckMailMinutes > 0) CheckMailMinutes->setValue(s.CheckMailMinutes);
  ExitAfterCmd->setChecked(s.ExitAfterCmdProc);
  RememberPos->setChecked(s.RememberPos);
  font_dialog_font_ = ToQFont(s.DefaultFont);
  FillSignatureList(SignatureBaseName(s.Signature));
  FillAddressBooks();
}

bool TSetupDlg::SelectPage(const std::string& name) {
  QString wanted = QString::fromStdString(name);
  for (int i = 0; i < Setup->count(); ++i) {
    if (Setup->tabText(i).compare(wanted, Qt::CaseInsensitive) == 0) {
      Setup->setCurrentIndex(i);
      return true;
    }
  }
  return false;
}

void TSetupDlg::FillSignatureList(const std::string& name) {
  DefSignature->clear();
  std::vector<std::string> files;
  ListFolderFiles(services_.ui, services_.settings.MailDirectory + kSignatures, files);
  int selected = -1;
  for (const std::string& file : files) {
    std::string entry = WithoutExtension(file);
    if (selected < 0 && SameNameIgnoringCase(entry, name)) selected = DefSignature->count();
    AddPathItem(DefSignature, entry);
  }
  DefSignature->setCurrentIndex(selected < 0 && !files.empty() ? 0 : selected);
}

void TSetupDlg::FillAddressBooks() {
  DefAddressBook->clear();
  AddressBookChoice books = FillAddressBookList(services_.ui, services_.Store(), services_.settings.DefaultAB);
  for (const std::string& name : books.names) AddPathItem(DefAddressBook, name);
  DefAddressBook->setCurrentIndex(books.selected);
}

void TSetupDlg::DefSignatureClick() { FillSignatureList(SignatureBaseName(services_.settings.Signature)); }

void TSetupDlg::CreateSigClick() {
  if (services_.settings.Signature.empty()) return;
  std::string signature = ResolvePath(services_.settings.Signature);
  // An editor asked to open a missing file may refuse; start the new signature empty.
  if (!EntryExists(signature) && FolderExists(FolderPart(signature))) WriteNewFile(signature, "");
  QDesktopServices::openUrl(QUrl::fromLocalFile(PathToQt(signature)));
}

void TSetupDlg::CreateABClick() {
  TAddressBookForm editor(services_.ui, services_.settings, this);
  editor.exec();
}

void TSetupDlg::SetDefFontBtnClick() {
  QFontDialog dialog(font_dialog_font_, this);
  dialog.setObjectName("FontDialog1");
  if (dialog.exec() == QDialog::Accepted) font_dialog_font_ = dialog.selectedFont();
  // Copied whether chosen or not: in effect at once, written only by a successful OK.
  services_.settings.DefaultFont = FromQFont(font_dialog_font_, services_.settings.DefaultFont, logicalDpiY());
}

// With no signature file in the signature folder, the current signature file is copied
// there as "signature.txt" (written under a work name first, so the name only ever
// holds a complete file). Any failure just drops the signature.
void TSetupDlg::CarrySignatureOver() {
  Settings& s = services_.settings;
  std::string folder = ResolvePath(s.MailDirectory + kSignatures);
  std::string work = UniqueFileName(folder, ".txt");
  std::string text;
  std::string target = ResolvePath(folder + "/signature.txt");
  bool ok = !work.empty() && !s.Signature.empty() && ReadWholeFile(s.Signature, text) &&
            WriteNewFile(work, text) && MoveNoReplace(work, target) == MoveResult::kMoved;
  if (!ok) {
    if (!work.empty() && EntryExists(work)) RemoveFile(work);
    s.Signature.clear();
    return;
  }
  s.Signature = s.MailDirectory + kSignatures + "/signature.txt";
  FillSignatureList("signature");
}

void TSetupDlg::OKBtnClick() {
  Settings& s = services_.settings;
  StoreDirectoryFields(s);
  StoreUserFields(s);
  SetupField code = FullSetupEntered(true);

  std::string books = ResolvePath(s.MailDirectory + kAddressBooks);
  if (DefAddressBook->count() == 0 && FolderExists(books)) {
    WriteNewFile(ResolvePath(books + "/AddressBook.cvab"), "");
    FillAddressBooks();
  }

  if (code != SetupField::None) {
    SetEmptyFocus(code);
    return;
  }
  std::string book = CurrentPathItem(DefAddressBook);
  s.DefaultAB = book.empty() ? "AddressBook" : book;
  s.DefaultABPath = DefaultAddressBookPath(s);
  std::vector<std::string> left_keys = KeyringRow->Keep(services_.ui, s);
  for (const std::string& key : AccountsPage->Keep(services_.ui, s)) left_keys.push_back(key);
  left_keys = UnusedKeys(s, services_.secrets, left_keys);
  if (!SaveRunSettings(services_))
    ShowMessage(services_.ui, "The settings could not be written to " + SettingsFilePath() +
                                  ".  They are in effect until Corvelle ends.");
  else {
    KeyringRow->RemoveLeft(services_.ui, left_keys);  // only once the file holds what left them
    if (!ProviderRows->SaveClient())
      ShowMessage(services_.ui, "The OAuth2 client could not be written to " + SettingsFilePath() + ".");
  }
  CloseOK = true;
  accept();
}

// The Directories page into `s`: the mail directory made absolute, the default folder
// without its slashes, the signature (carried over into the signature folder when it has
// none).
void TSetupDlg::StoreDirectoryFields(Settings& s) {
  s.MailDirectory = FieldBytes(MailDirectoryTxt, FieldKind::kPath);
  if (!s.MailDirectory.empty() && s.MailDirectory.back() != '/') s.MailDirectory += '/';
  // Made absolute before the signature path is built from it.
  if (std::string absolute = MailDirectoryBelowHome(s.MailDirectory); absolute != s.MailDirectory) {
    s.MailDirectory = absolute;
    ShowMailDirectory(absolute);
  }
  std::string folder = FieldBytes(DefMailFolderTxt, FieldKind::kPath);
  size_t first = folder.find_first_not_of('/');
  folder = first == std::string::npos ? std::string() : folder.substr(first);
  while (!folder.empty() && folder.back() == '/') folder.pop_back();
  s.DefaultMailFolder = folder;

  if (DefSignature->count() == 0) CarrySignatureOver();
  std::string signature = CurrentPathItem(DefSignature);
  s.Signature = s.MailDirectory + kSignatures + "/" + (signature.empty() ? "signature" : signature) + ".txt";
}

// The User settings and Preferences pages into `s`.
void TSetupDlg::StoreUserFields(Settings& s) {
  StoreServerFields(s);
  s.PassWord = EncodePassword(FieldBytes(PasswordTxt, FieldKind::kText));
  SecurityRows->Store(s);
  ProviderRows->Store(s);
  KeyringRow->Store(s);
  s.CheckMailMinutes = CheckMail->isChecked() ? CheckMailMinutes->value() : 0;
  s.ExitAfterCmdProc = ExitAfterCmd->isChecked();
  s.RememberPos = RememberPos->isChecked();
}

void TSetupDlg::CancelBtnClick() {
  Filters->MailFilter1.SetDiscard(true);
  CloseOK = true;
  reject();
}

SetupField TSetupDlg::FullSetupEntered(bool create_dirs) { return corvelle::FullSetupEntered(services_.ui, services_.settings, create_dirs, *this); }

bool TSetupDlg::CheckMailDirectory(bool create) { return corvelle::CheckMailDirectory(services_.settings, create, *this); }

QLineEdit* TSetupDlg::FieldEdit(SetupField field) const {
  switch (field) {
    case SetupField::MailDirectory: return MailDirectoryTxt;
    case SetupField::DefaultMailFolder: return DefMailFolderTxt;
    case SetupField::SendServer: return SendSvrTxt;
    case SetupField::SendPort: return SendSvrPortTxt;
    case SetupField::MailServer: return MailServerTxt;
    case SetupField::MailPort: return ServerPortTxt;
    case SetupField::UserName: return UserNameTxt;
    case SetupField::PassWord: return PasswordTxt;
    case SetupField::MyName: return NameTxt;
    case SetupField::MailAddress: return MailAddressTxt;
    case SetupField::None: break;
  }
  return nullptr;
}

void TSetupDlg::SetEmptyFocus(SetupField code) {
  QLineEdit* edit = FieldEdit(code);
  if (!edit) return;
  bool directories = code == SetupField::MailDirectory || code == SetupField::DefaultMailFolder;
  Setup->setCurrentWidget(directories ? DirectoriesPage : UserSettingsPage);
  edit->setFocus();
}

void TSetupDlg::ShowMailDirectory(const std::string& directory) {
  SetFieldBytes(MailDirectoryTxt, directory, FieldKind::kPath);
}

void TSetupDlg::ResetField(SetupField field, const std::string& text) {
  if (QLineEdit* edit = FieldEdit(field)) edit->setText(QString::fromStdString(text));
}

void TSetupDlg::closeEvent(QCloseEvent* event) {
  if (!CloseOK) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void TSetupDlg::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    CancelBtnClick();
    return;
  }
  QDialog::keyPressEvent(event);
}

bool ShowSetupPage(Services& services, const std::string& page, bool must_complete, QWidget* parent) {
  // At start-up the main window is not shown yet: the dialog is placed on the screen.
  TSetupDlg dialog(services, parent && parent->isVisible() ? parent : nullptr);
  dialog.SelectPage(page);
  bool ok = dialog.exec() == QDialog::Accepted;
  if (!ok && must_complete) {
    ShowMessage(services.ui, "Setup is not complete.  Corvelle cannot run.");
    services.end_program(0);
  }
  return ok;
}

}  // namespace corvelle
