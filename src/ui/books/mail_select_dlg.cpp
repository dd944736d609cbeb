#include "ui/books/mail_select_dlg.h"

#include <QCompleter>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStringListModel>
#include <QVBoxLayout>
#include <algorithm>

#include "core/books/address_book.h"
#include "core/settings/settings.h"
#include "core/store/addresses.h"
#include "core/store/message_text.h"
#include "core/user_interface.h"
#include "platform/paths.h"
#include "ui/books/address_book_form.h"
#include "ui/books/book_texts.h"
#include "ui/common/named.h"
#include "ui/common/qt_text.h"

namespace corvelle {
namespace {

// The bare address that decides whether a recipient is chosen already.
std::string AddressKey(const std::string& text) { return AsciiLower(ExtractAddress(text)); }

}  // namespace

TMailSelectDlg::TMailSelectDlg(UserInterface& ui, const Settings& settings, QWidget* parent)
    : QDialog(parent), ui_(ui), settings_(settings) {
  setObjectName("MailSelectDlg");
  setWindowTitle("Select recipient addresses");
  SrcLabel = Named(new QLabel("Email addresses:", this), "SrcLabel");
  TypedAddr = Named(new QLineEdit(this), "TypedAddr");
  IncTypedBtn = Named(new QPushButton(">", this), "IncTypedBtn");
  AddrList = Named(new QListWidget(this), "AddrList");
  IncludeBtn = Named(new QPushButton("Include >>", this), "IncludeBtn");
  ExcludeBtn = Named(new QPushButton("<< Exclude", this), "ExcludeBtn");
  SendToList = Named(new QListWidget(this), "SendToList");
  EditAddrBook = Named(new QPushButton("Edit address book", this), "EditAddrBook");
  OKBtn = Named(new QPushButton("OK", this), "OKBtn");
  CancelBtn = Named(new QPushButton("Cancel", this), "CancelBtn");
  for (QListWidget* list : {AddrList, SendToList}) {
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setUniformItemSizes(true);
  }
  SrcLabel->setBuddy(TypedAddr);
  OKBtn->setDefault(true);

  connect(IncTypedBtn, &QPushButton::clicked, this, &TMailSelectDlg::IncTypedBtnClick);
  connect(TypedAddr, &QLineEdit::returnPressed, this, &TMailSelectDlg::IncTypedBtnClick);
  connect(IncludeBtn, &QPushButton::clicked, this, &TMailSelectDlg::IncludeBtnClick);
  connect(AddrList, &QListWidget::itemDoubleClicked, this, &TMailSelectDlg::IncludeBtnClick);
  connect(ExcludeBtn, &QPushButton::clicked, this, &TMailSelectDlg::ExcludeBtnClick);
  connect(SendToList, &QListWidget::itemDoubleClicked, this, &TMailSelectDlg::ExcludeBtnClick);
  connect(EditAddrBook, &QPushButton::clicked, this, &TMailSelectDlg::EditAddrBookClick);
  connect(OKBtn, &QPushButton::clicked, this, &TMailSelectDlg::OKBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);

  auto* typed = new QHBoxLayout;
  typed->addWidget(TypedAddr, 1);
  typed->addWidget(IncTypedBtn);
  auto* middle = new QVBoxLayout;
  middle->addStretch();
  middle->addWidget(IncludeBtn);
  middle->addWidget(ExcludeBtn);
  middle->addStretch();
  auto* grid = new QGridLayout;
  grid->addWidget(SrcLabel, 0, 0);
  grid->addWidget(new QLabel("Send mail to:", this), 0, 2);
  grid->addLayout(typed, 1, 0);
  grid->addWidget(AddrList, 2, 0);
  grid->addLayout(middle, 2, 1);
  grid->addWidget(SendToList, 1, 2, 2, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(EditAddrBook);
  buttons->addStretch();
  buttons->addWidget(OKBtn);
  buttons->addWidget(CancelBtn);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid, 1);
  layout->addLayout(buttons);
  resize(640, 400);
  ReadBook();
}

// The lines of the default book, "nickname - full name - address field", sorted; the
// nickname stays with its line. The book is only read: a missing one is not made here.
void TMailSelectDlg::ReadBook() {
  AddrList->clear();
  std::vector<std::string> lines;
  if (FileExists(settings_.DefaultABPath)) ReadMessageLines(ResolvePath(settings_.DefaultABPath), lines);
  struct Line {
    std::string shown, nickname;
  };
  std::vector<Line> shown;
  QStringList words;
  for (const std::string& text : lines) {
    std::optional<TAddressEntry> entry = ParseBookLine(text);
    if (!entry || entry->Nickname.empty()) continue;
    shown.push_back({entry->Nickname + " - " + entry->FullName + " - " + entry->AddressField, entry->Nickname});
    words << TextToQt(entry->Nickname);
    for (const std::string& address : ParseAddressField(entry->AddressField))
      if (address.find('@') != std::string::npos) words << TextToQt(address);
  }
  std::stable_sort(shown.begin(), shown.end(), [](const Line& a, const Line& b) { return LessIgnoringCase(a.shown, b.shown); });
  AddrList->setUpdatesEnabled(false);
  for (const Line& line : shown) {
    auto* item = new QListWidgetItem(TextToQt(line.shown));
    item->setData(kBookBytes, BytesData(line.nickname));
    AddrList->addItem(item);
  }
  AddrList->setUpdatesEnabled(true);
  words.sort(Qt::CaseInsensitive);
  words.removeDuplicates();
  auto* completer = new QCompleter(this);
  completer->setModel(new QStringListModel(words, completer));
  completer->setCaseSensitivity(Qt::CaseInsensitive);
  completer->setModelSorting(QCompleter::CaseInsensitivelySortedModel);
  delete TypedAddr->completer();
  TypedAddr->setCompleter(completer);
  SetButtons();
}

// Return in the address field adds what was typed (returnPressed) and nothing more: it does
// not also press OK, which would close the dialog over a refused text.
void TMailSelectDlg::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && TypedAddr->hasFocus()) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void TMailSelectDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (shown_) return;
  shown_ = true;
  for (size_t i = 0; i < ChosenList.size(); ++i) {
    std::string entry = ChosenList[i];
    if (i + 1 < ChosenList.size() && !entry.empty() && entry.back() == ',') entry.pop_back();
    if (!TrimBlanks(entry).empty()) AddSorted(entry);
  }
  ChosenList.clear();
  SetButtons();
}

void TMailSelectDlg::SetButtons() {
  IncludeBtn->setEnabled(AddrList->count() > 0);
  ExcludeBtn->setEnabled(SendToList->count() > 0);
}

std::vector<std::string> TMailSelectDlg::SendTo() const {
  std::vector<std::string> texts;
  for (int i = 0; i < SendToList->count(); ++i) texts.push_back(BytesOf(SendToList->item(i)->data(kBookBytes)));
  return texts;
}

void TMailSelectDlg::AddSorted(const std::string& text) {
  std::vector<std::string> texts = SendTo();
  auto at = std::upper_bound(texts.begin(), texts.end(), text, [](const std::string& a, const std::string& b) { return LessIgnoringCase(a, b); });
  auto* item = new QListWidgetItem(TextToQt(text));
  item->setData(kBookBytes, BytesData(text));
  SendToList->insertItem(static_cast<int>(at - texts.begin()), item);
}

void TMailSelectDlg::DoUniqueAdd(const std::string& text) {
  const std::string key = AddressKey(text);
  for (const std::string& chosen : SendTo())
    if (AddressKey(chosen) == key) return;
  AddSorted(text);
}

void TMailSelectDlg::DoMove(QListWidgetItem* line) {
  std::vector<std::string> expanded;
  if (!ExpandName(ui_, settings_, BytesOf(line->data(kBookBytes)), expanded)) return;  // the book changed on disk: stays selected
  for (const std::string& text : expanded) DoUniqueAdd(text);
  line->setSelected(false);
}

void TMailSelectDlg::IncludeBtnClick() {
  for (int i = 0; i < AddrList->count(); ++i)
    if (AddrList->item(i)->isSelected()) DoMove(AddrList->item(i));
  SetButtons();
}

void TMailSelectDlg::ExcludeBtnClick() {
  qDeleteAll(SendToList->selectedItems());
  SetButtons();
}

QListWidgetItem* TMailSelectDlg::FindNickname(const std::string& nickname) const {
  for (int i = 0; i < AddrList->count(); ++i)
    if (SameNameIgnoringCase(BytesOf(AddrList->item(i)->data(kBookBytes)), nickname)) return AddrList->item(i);
  return nullptr;
}

void TMailSelectDlg::IncTypedBtnClick() {
  const std::string typed = CleanedField(TextFromQt(TypedAddr->text()));
  if (typed.empty()) return;
  if (QListWidgetItem* line = FindNickname(typed)) {
    DoMove(line);
    TypedAddr->clear();
  } else if (typed.find('@') != std::string::npos && IsPlainAddress(typed)) {
    DoUniqueAdd(typed);
    TypedAddr->clear();
  } else if (IsPlainAddress(typed)) {
    size_t at = settings_.MailAddress.find('@');
    if (at == std::string::npos) {
      ShowMessage(ui_, "Cannot add email address without destination name (user@destination).");
    } else {
      DoUniqueAdd(typed + settings_.MailAddress.substr(at));
      TypedAddr->clear();
    }
  } else {
    ShowMessage(ui_, "Spaces, parenthesis (()), and braces (<>) are not allowed in email addresses!");
  }
  SetButtons();
}

void TMailSelectDlg::EditAddrBookClick() {
  {
    TAddressBookForm editor(ui_, settings_, this);
    editor.exec();
  }
  ReadBook();
}

void TMailSelectDlg::OKBtnClick() {
  if (!TypedAddr->text().isEmpty()) IncTypedBtnClick();
  ChosenList = SendTo();
  for (size_t i = 0; i + 1 < ChosenList.size(); ++i) ChosenList[i] += ",";
  accept();
}

}  // namespace corvelle
