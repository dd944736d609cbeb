#include "ui/books/address_book_form.h"

#include <QAction>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "core/store/mail_store.h"
#include "core/books/auto_add.h"
#include "core/settings/settings.h"
#include "core/store/addresses.h"
#include "core/store/message_text.h"
#include "core/user_interface.h"
#include "platform/paths.h"
#include "ui/books/book_texts.h"
#include "ui/common/named.h"
#include "ui/common/qt_text.h"
#include "ui/folders/prompt_list_dlg.h"

namespace corvelle {
namespace {

constexpr const char* kAddEntryCaption = "Add an address book entry";
constexpr const char* kAddAddressCaption = "Add a new email address";
constexpr const char* kAddressPrompt = "Enter the email address:";
constexpr const char* kBadAddressMessage = "You must enter a valid email address!";

std::string Cell(const QTreeWidgetItem* item, int column) { return BytesOf(item->data(column, kBookBytes)); }

void SetCell(QTreeWidgetItem* item, int column, const std::string& bytes) {
  item->setText(column, TextToQt(bytes));
  item->setData(column, kBookBytes, BytesData(bytes));
}

QTreeWidgetItem* NewRow(const TAddressEntry& entry) {
  auto* item = new QTreeWidgetItem;
  item->setFlags(item->flags() | Qt::ItemIsEditable);
  SetCell(item, 0, entry.Nickname);
  SetCell(item, 1, entry.FullName);
  SetCell(item, 2, entry.AddressField);
  return item;
}

bool Contains(const std::string& s, const char* any) { return s.find_first_of(any) != std::string::npos; }

}  // namespace

TAddressBookForm::TAddressBookForm(UserInterface& ui, const Settings& settings, QWidget* parent)
    : QDialog(parent), ui_(ui), settings_(settings) {
  setObjectName("AddressBookForm");
  setWindowTitle("Corvelle Address Book");
  BuildLayout();
  CurrentPath = settings_.DefaultABPath;
  FillBookList(settings_.DefaultAB);
  DefAddressBookChange();
}

void TAddressBookForm::BuildLayout() {
  DefAddressBook = Named(new QComboBox(this), "DefAddressBook");
  NewAddressBook = Named(new QPushButton("New address book", this), "NewAddressBook");
  DeleteAB = Named(new QPushButton("Delete current", this), "DeleteAB");
  AddressEntries = Named(new QTreeWidget(this), "AddressEntries");
  AddressEntries->setHeaderLabels({"Nickname", "Full name", "Email address(es)"});
  for (auto [column, width] : {std::pair{0, 100}, {1, 170}, {2, 500}}) AddressEntries->setColumnWidth(column, width);
  AddressEntries->setRootIsDecorated(false);
  AddressEntries->setUniformRowHeights(true);
  AddressEntries->setEditTriggers(QAbstractItemView::NoEditTriggers);  // the nickname only, below
  AddressEntries->header()->setSectionsClickable(true);
  FullName = Named(new QLineEdit(this), "FullName");
  Members = Named(new QListWidget(this), "Members");
  AddBtn = Named(new QPushButton("Add an entry", this), "AddBtn");
  SaveEntryBtn = Named(new QPushButton("Save this entry", this), "SaveEntryBtn");
  RemoveBtn = Named(new QPushButton("Remove this entry", this), "RemoveBtn");
  AddAddressBtn = Named(new QPushButton("Add an address", this), "AddAddressBtn");
  RemoveAddressBtn = Named(new QPushButton("Remove address", this), "RemoveAddressBtn");
  ApplyBtn = Named(new QPushButton("Apply", this), "ApplyBtn");
  OKBtn = Named(new QPushButton("OK", this), "OKBtn");
  CloseBtn = Named(new QPushButton("Cancel", this), "CloseBtn");
  ApplyBtn->setEnabled(false);
  OKBtn->setDefault(true);

  AddressEntries->setContextMenuPolicy(Qt::ActionsContextMenu);
  for (auto [caption, handler] : {std::pair{"&Save", &TAddressBookForm::SaveEntryBtnClick},
                                  {"&Add", &TAddressBookForm::AddBtnClick}, {"&Delete", &TAddressBookForm::RemoveBtnClick}}) {
    auto* action = new QAction(caption, AddressEntries);
    connect(action, &QAction::triggered, this, handler);
    AddressEntries->addAction(action);
  }
  connect(DefAddressBook, &QComboBox::activated, this, [this] {
    if (BytesOf(DefAddressBook->currentData()) != shown_book_) DefAddressBookChange();  // choosing it again keeps it
  });
  connect(NewAddressBook, &QPushButton::clicked, this, &TAddressBookForm::NewAddressBookClick);
  connect(DeleteAB, &QPushButton::clicked, this, &TAddressBookForm::DeleteABClick);
  connect(AddressEntries, &QTreeWidget::currentItemChanged, this, &TAddressBookForm::AddressEntriesChange);
  connect(AddressEntries, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item, int column) {
    if (column == 0) AddressEntries->editItem(item, 0);
  });
  connect(AddressEntries, &QTreeWidget::itemChanged, this, &TAddressBookForm::NicknameEdited);
  connect(AddressEntries->header(), &QHeaderView::sectionClicked, this, &TAddressBookForm::SortBy);
  connect(FullName, &QLineEdit::textEdited, this, &TAddressBookForm::Changed);
  connect(AddBtn, &QPushButton::clicked, this, &TAddressBookForm::AddBtnClick);
  connect(SaveEntryBtn, &QPushButton::clicked, this, &TAddressBookForm::SaveEntryBtnClick);
  connect(RemoveBtn, &QPushButton::clicked, this, &TAddressBookForm::RemoveBtnClick);
  connect(AddAddressBtn, &QPushButton::clicked, this, &TAddressBookForm::AddAddressBtnClick);
  connect(RemoveAddressBtn, &QPushButton::clicked, this, &TAddressBookForm::RemoveAddressBtnClick);
  connect(ApplyBtn, &QPushButton::clicked, this, &TAddressBookForm::ApplyBtnClick);
  connect(OKBtn, &QPushButton::clicked, this, &TAddressBookForm::OKBtnClick);
  connect(CloseBtn, &QPushButton::clicked, this, &QDialog::reject);

  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel("Current address book:", this));
  top->addWidget(DefAddressBook, 1);
  top->addWidget(NewAddressBook);
  top->addWidget(DeleteAB);
  auto* fields = new QVBoxLayout;
  fields->addWidget(new QLabel("Full name:", this));
  fields->addWidget(FullName);
  fields->addWidget(new QLabel("Email Address(es):", this));
  fields->addWidget(Members);
  auto* buttons = new QVBoxLayout;
  for (QPushButton* button : {AddBtn, SaveEntryBtn, RemoveBtn, AddAddressBtn, RemoveAddressBtn}) buttons->addWidget(button);
  buttons->addStretch();
  for (QPushButton* button : {ApplyBtn, OKBtn, CloseBtn}) buttons->addWidget(button);
  auto* bottom = new QHBoxLayout;
  bottom->addLayout(fields, 1);
  bottom->addLayout(buttons);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(AddressEntries, 1);
  layout->addLayout(bottom);
  resize(640, 520);
}

void TAddressBookForm::SetNewAddresses(const std::vector<std::string>& texts) {
  OfferedAddresses offer = OfferAddresses(texts);
  PendingAddresses = std::move(offer.pending);
  NewFullName = std::move(offer.full_name);
}

void TAddressBookForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (PendingAddresses.empty()) return;
  // After the window is up: the questions of the new entry stand over it.
  QTimer::singleShot(0, this, [this] {
    AddBtnClick();
    PendingAddresses.clear();
    NewFullName.clear();
  });
}

void TAddressBookForm::FillBookList(const std::string& select) {
  QSignalBlocker blocker(DefAddressBook);
  DefAddressBook->clear();
  AddressBookChoice books = FillAddressBookList(ui_, StoreOf(settings_), settings_.DefaultAB);
  int selected = books.selected;
  for (size_t i = 0; i < books.names.size(); ++i) {
    DefAddressBook->addItem(TextToQt(books.names[i]), BytesData(books.names[i]));
    if (SameNameIgnoringCase(books.names[i], select)) selected = static_cast<int>(i);
  }
  DefAddressBook->setCurrentIndex(selected);
}

// The question of a book left with unsaved changes. False when the user stays with it.
bool TAddressBookForm::MayLeaveBook() {
  if (!ApplyBtn->isEnabled()) return true;
  Answer answer = ui_.Message(kUnsavedBookQuestion, kApplicationTitle, Buttons::YesNoCancel, MessageIcon::Warning);
  if (answer == Answer::Cancel || (answer == Answer::Yes && !ApplyBtnClick())) return false;
  ApplyBtn->setEnabled(false);
  return true;
}

void TAddressBookForm::DefAddressBookChange() {
  std::string name = DefAddressBook->currentIndex() < 0 ? "AddressBook" : BytesOf(DefAddressBook->currentData());
  if (!MayLeaveBook()) {
    FillBookList(shown_book_);
    return;
  }
  shown_book_ = name;
  CurrentPath = AddressBookPath(StoreOf(settings_), name);
  std::vector<TAddressEntry> entries;
  book_readable_ = LoadAddressBook(CurrentPath, entries);
  if (!book_readable_) ShowMessage(ui_, "Cannot open file " + CurrentPath + ".");
  if (DefAddressBook->findText(TextToQt(name), Qt::MatchFixedString) < 0) FillBookList(name);  // made just now
  ShowBook(entries);
  ApplyBtn->setEnabled(false);
}

void TAddressBookForm::ShowBook(const std::vector<TAddressEntry>& entries) {
  filling_ = true;
  AddressEntries->clear();
  QList<QTreeWidgetItem*> rows;
  rows.reserve(static_cast<qsizetype>(entries.size()));
  for (const TAddressEntry& entry : entries) rows.push_back(NewRow(entry));
  AddressEntries->addTopLevelItems(rows);
  filling_ = false;
  SortBy(0);
  AddressEntries->setCurrentItem(AddressEntries->topLevelItem(0));
  AddressEntriesChange();
}

void TAddressBookForm::SortBy(int column) {
  QTreeWidgetItem* current = AddressEntries->currentItem();
  filling_ = true;
  QList<QTreeWidgetItem*> rows = AddressEntries->invisibleRootItem()->takeChildren();
  std::stable_sort(rows.begin(), rows.end(), [column](const QTreeWidgetItem* a, const QTreeWidgetItem* b) {
    return LessIgnoringCase(Cell(a, column), Cell(b, column));
  });
  AddressEntries->addTopLevelItems(rows);
  filling_ = false;
  if (current) AddressEntries->setCurrentItem(current);
}

void TAddressBookForm::AddressEntriesChange() {
  QTreeWidgetItem* item = AddressEntries->currentItem();
  FullName->setText(item ? TextToQt(Cell(item, 1)) : QString());
  Members->clear();
  if (item)
    for (const std::string& address : ParseAddressField(Cell(item, 2))) AddMember(address);
  for (QPushButton* button : {SaveEntryBtn, AddAddressBtn}) button->setEnabled(item != nullptr);
}

void TAddressBookForm::NicknameEdited(QTreeWidgetItem* item, int column) {
  if (filling_ || column != 0 || item->text(0) == TextToQt(Cell(item, 0))) return;
  std::string nickname = CleanedField(TextFromQt(item->text(0)));
  filling_ = true;
  if (nickname.empty()) {
    item->setText(0, TextToQt(Cell(item, 0)));
    filling_ = false;
    ShowMessage(ui_, "You must enter a valid nickname!");
    return;
  }
  SetCell(item, 0, nickname);
  filling_ = false;
  SortBy(0);
  Changed();
}

void TAddressBookForm::Changed() { ApplyBtn->setEnabled(true); }

QTreeWidgetItem* TAddressBookForm::FindNickname(const std::string& nickname) const {
  const QString shown = TextToQt(nickname);
  for (int i = 0; i < AddressEntries->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = AddressEntries->topLevelItem(i);
    if (SameNameIgnoringCase(Cell(item, 0), nickname) || item->text(0).compare(shown, Qt::CaseInsensitive) == 0)
      return item;
  }
  return nullptr;
}

std::vector<std::string> TAddressBookForm::MemberList() const {
  std::vector<std::string> addresses;
  for (int i = 0; i < Members->count(); ++i) addresses.push_back(BytesOf(Members->item(i)->data(kBookBytes)));
  return addresses;
}

// Adds `address` at its place in the sorted list, unless it is there in any letter case.
void TAddressBookForm::AddMember(const std::string& address) {
  std::vector<std::string> addresses = MemberList();
  auto at = std::lower_bound(addresses.begin(), addresses.end(), address, LessIgnoringCase);
  if (at != addresses.end() && SameNameIgnoringCase(*at, address)) return;
  auto* item = new QListWidgetItem(TextToQt(address));
  item->setData(kBookBytes, BytesData(address));
  Members->insertItem(static_cast<int>(at - addresses.begin()), item);
}

void TAddressBookForm::StoreMembers(QTreeWidgetItem* item) { SetCell(item, 2, FormatAddressField(MemberList())); }

bool TAddressBookForm::AskNickname(std::string& nickname, QTreeWidgetItem*& existing) {
  QStringList nicknames;
  for (int i = 0; i < AddressEntries->topLevelItemCount(); ++i) nicknames << AddressEntries->topLevelItem(i)->text(0);
  for (;;) {
    TPromptListDlg dialog(this);
    dialog.setWindowTitle(kAddEntryCaption);
    dialog.SetPrompt("Enter the nickname:");
    dialog.ThisList->addItems(nicknames);
    // Typed text is taken as typed: completing "an" to "ann" would hide a new nickname.
    dialog.ThisList->setCompleter(nullptr);
    dialog.ThisList->setEditText({});
    if (dialog.exec() != QDialog::Accepted) return false;
    nickname = CleanedField(TextFromQt(dialog.ThisList->currentText()));
    if (nickname.empty()) {
      ShowMessage(ui_, "You must enter a valid nickname!");
      continue;
    }
    existing = FindNickname(nickname);
    if (!existing) return true;
    std::string question = "This nickname already exists!  Do you want to add this email address to the list of "
                           "addressees for \"" + nickname + "\"?";
    if (Ask(ui_, question, kAddEntryCaption, Buttons::YesNo) == Answer::Yes) return true;
  }
}

void TAddressBookForm::AddBtnClick() {
  std::string nickname;
  QTreeWidgetItem* existing = nullptr;
  if (!AskNickname(nickname, existing)) return;
  std::string full_name = NewFullName;
  if (!existing && (PendingAddresses.empty() || NewFullName.empty())) {
    auto name = AskUntil(ui_, this, kAddEntryCaption, "Enter the full name (Last, First):", {},
                         [](const std::string& s) { return !s.empty(); }, "You must enter a valid full name!");
    if (!name) return;
    full_name = CleanedField(*name);
  }
  std::vector<std::string> addresses;
  for (const std::string& pending : PendingAddresses) addresses.push_back(ExtractAddress(pending));
  if (addresses.empty()) {
    auto address = AskUntil(ui_, this, kAddAddressCaption, kAddressPrompt, {},
                            [](const std::string& s) { return !s.empty() && Contains(s, "@") && !Contains(s, " ,\t"); },
                            kBadAddressMessage);
    if (!address) return;
    addresses.push_back(*address);
  }
  QTreeWidgetItem* item = existing;
  if (!item) {
    item = NewRow({nickname, full_name, ""});
    filling_ = true;
    AddressEntries->addTopLevelItem(item);
    filling_ = false;
  }
  AddressEntries->setCurrentItem(item);  // its addresses fill Members
  for (const std::string& address : addresses) AddMember(address);
  StoreMembers(item);
  if (!existing) SortBy(0);
  AddressEntries->scrollToItem(item);
  Changed();
}

void TAddressBookForm::SaveEntryBtnClick() {
  QTreeWidgetItem* item = AddressEntries->currentItem();
  if (!item) return;
  if (FullName->text() != item->text(1)) SetCell(item, 1, CleanedField(TextFromQt(FullName->text())));
  StoreMembers(item);
  Changed();
}

void TAddressBookForm::RemoveBtnClick() {
  QTreeWidgetItem* item = AddressEntries->currentItem();
  if (!item) {
    ShowMessage(ui_, "You must select an entry to remove.");
    return;
  }
  if (Ask(ui_, "Delete this address book entry: " + Cell(item, 0) + "?", "Remove an entry", Buttons::YesNo) != Answer::Yes)
    return;
  delete item;
  AddressEntriesChange();
  Changed();
}

void TAddressBookForm::AddAddressBtnClick() {
  QTreeWidgetItem* item = AddressEntries->currentItem();
  if (!item) return;
  auto address = AskUntil(ui_, this, kAddAddressCaption, kAddressPrompt, {},
                          [](const std::string& s) { return !s.empty() && !Contains(s, ","); }, kBadAddressMessage);
  if (!address) return;
  size_t before = static_cast<size_t>(Members->count());
  AddMember(*address);
  if (static_cast<size_t>(Members->count()) == before) return;
  StoreMembers(item);
  Changed();
}

void TAddressBookForm::RemoveAddressBtnClick() {
  QListWidgetItem* address = Members->currentItem();
  if (!address || !address->isSelected()) {
    ShowMessage(ui_, "You must select an address to remove.");
    return;
  }
  if (Ask(ui_, "Delete this email address?", "Remove an email address", Buttons::YesNo) != Answer::Yes) return;
  delete address;
  if (QTreeWidgetItem* item = AddressEntries->currentItem()) {
    if (Members->count() > 0) StoreMembers(item);
    else delete item;
  }
  AddressEntriesChange();
  Changed();
}

std::vector<TAddressEntry> TAddressBookForm::Entries() const {
  std::vector<TAddressEntry> entries;
  entries.reserve(static_cast<size_t>(AddressEntries->topLevelItemCount()));
  for (int i = 0; i < AddressEntries->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* item = AddressEntries->topLevelItem(i);
    entries.push_back({Cell(item, 0), Cell(item, 1), Cell(item, 2)});
  }
  return entries;
}

bool TAddressBookForm::ApplyBtnClick() {
  // A book that could not be read is never written over with what little the list shows.
  if (!book_readable_ || !SaveAddressBook(CurrentPath, Entries())) {
    ShowMessage(ui_, "Cannot create file " + CurrentPath + ".");
    return false;
  }
  ApplyBtn->setEnabled(false);
  return true;
}

void TAddressBookForm::OKBtnClick() {
  if (ApplyBtnClick()) accept();
}

void TAddressBookForm::done(int result) {
  if (!MayLeaveBook()) return;
  QDialog::done(result);
}

void TAddressBookForm::NewAddressBookClick() {
  const bool had_changes = ApplyBtn->isEnabled();
  if (!MayLeaveBook()) return;
  auto name = AskUntil(ui_, this, "Create a new addressbook", "Enter a name for the new addressbook:", "AddressBook",
                       [](const std::string& s) { return ValidBookName(s).has_value(); }, kBadBookNameMessage);
  if (!name) {
    if (had_changes) DefAddressBookChange();  // the changes were saved or dropped: show the book as it is
    return;
  }
  name = ValidBookName(*name);
  // A book of that name in any letter case is opened as it is, never made anew.
  if (DefAddressBook->findText(TextToQt(*name), Qt::MatchFixedString) < 0 && !CreateAddressBook(StoreOf(settings_), *name)) {
    ShowMessage(ui_, "Cannot create file " + AddressBookPath(StoreOf(settings_), *name) + ".");
    return;
  }
  FillBookList(*name);
  DefAddressBookChange();
}

void TAddressBookForm::DeleteABClick() {
  if (Ask(ui_, "Are you sure you want to delete this address book?", "Delete current address book", Buttons::YesNo) !=
      Answer::Yes)
    return;
  if (!RemoveFile(CurrentPath)) ShowMessage(ui_, "Cannot delete file " + CurrentPath + ".");
  ApplyBtn->setEnabled(false);
  FillBookList(settings_.DefaultAB);
  DefAddressBookChange();
}

}  // namespace corvelle
