#include "ui/setup/accounts_page.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/settings/settings.h"
#include "core/user_interface.h"
#include "ui/common/named.h"
#include "ui/common/qt_text.h"
#include "ui/main/services.h"

namespace corvelle {
namespace {

QPushButton* MakeButton(const char* text, const char* name) { return Named(new QPushButton(text), name); }

QString Shown(const Account& a) {
  return TextToQt(a.Name) + (a.MailAddress.empty() ? QString() : "  (" + TextToQt(a.MailAddress) + ")");
}

}  // namespace

TAccountsPage::TAccountsPage(Services& services, QWidget* parent) : QWidget(parent), services_(services) {
  setObjectName("AccountsPage");
  FirstAccountNote = Named(new QLabel, "FirstAccountNote");
  FirstAccountNote->setWordWrap(true);
  AccountList = Named(new QListWidget, "AccountList");
  AccountList->setAccessibleName("Further accounts");
  AccountList->setToolTip("Get / Send All fetches mail from each checked account, in this order.");
  AddBtn = MakeButton("&Add...", "AddBtn");
  EditBtn = MakeButton("&Edit...", "EditBtn");
  RemoveBtn = MakeButton("&Remove", "RemoveBtn");
  MoveUpBtn = MakeButton("Move &up", "MoveUpBtn");
  MoveDownBtn = MakeButton("Move &down", "MoveDownBtn");
  connect(AddBtn, &QPushButton::clicked, this, &TAccountsPage::AddBtnClick);
  connect(EditBtn, &QPushButton::clicked, this, &TAccountsPage::EditBtnClick);
  connect(RemoveBtn, &QPushButton::clicked, this, &TAccountsPage::RemoveBtnClick);
  connect(MoveUpBtn, &QPushButton::clicked, this, &TAccountsPage::MoveUpBtnClick);
  connect(MoveDownBtn, &QPushButton::clicked, this, &TAccountsPage::MoveDownBtnClick);
  connect(AccountList, &QListWidget::itemDoubleClicked, this, &TAccountsPage::EditBtnClick);
  connect(AccountList, &QListWidget::currentRowChanged, this, &TAccountsPage::ShowButtons);
  connect(AccountList, &QListWidget::itemChanged, this, [this](QListWidgetItem* item) {
    int row = AccountList->row(item);
    if (row >= 0 && row < static_cast<int>(entries_.size()))
      entries_[static_cast<size_t>(row)].account.Enabled = item->checkState() == Qt::Checked;
  });

  auto* buttons = new QVBoxLayout;
  for (QPushButton* button : {AddBtn, EditBtn, RemoveBtn, MoveUpBtn, MoveDownBtn}) buttons->addWidget(button);
  buttons->addStretch();
  auto* list = new QHBoxLayout;
  list->addWidget(AccountList, 1);
  list->addLayout(buttons);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(list);
  layout->addWidget(FirstAccountNote);
}

void TAccountsPage::Load() {
  const Settings& s = services_.settings;
  FirstAccountNote->setText("Your first account, " + TextToQt(AccountTitle(FirstAccount(s))) +
                            ", is set on the User settings page; mail is fetched from it first.");
  entries_.clear();
  removed_keys_.clear();
  for (const Account& account : s.Accounts) {
    const Settings own = AccountSettings(s, account);
    entries_.push_back({account, PasswordKeys(own), KeptPasswords(own, services_.secrets)});
  }
  ShowEntries(entries_.empty() ? -1 : 0);
}

void TAccountsPage::ShowEntries(int current) {
  const QSignalBlocker quiet(AccountList);  // the checks are the entries' own
  AccountList->clear();
  for (const AccountEntry& entry : entries_) {
    auto* item = new QListWidgetItem(Shown(entry.account), AccountList);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(entry.account.Enabled ? Qt::Checked : Qt::Unchecked);
    item->setToolTip(TextToQt(entry.account.UserName + "@" + entry.account.MailServer));
  }
  AccountList->setCurrentRow(current);
  // An empty list has nothing to reach by keyboard, and no current item to show focus on.
  AccountList->setFocusPolicy(entries_.empty() ? Qt::NoFocus : Qt::StrongFocus);
  ShowButtons();
}

void TAccountsPage::ShowButtons() {
  int row = AccountList->currentRow(), last = static_cast<int>(entries_.size()) - 1;
  EditBtn->setEnabled(row >= 0);
  RemoveBtn->setEnabled(row >= 0);
  MoveUpBtn->setEnabled(row > 0);
  MoveDownBtn->setEnabled(row >= 0 && row < last);
}

bool TAccountsPage::RunEditor(AccountEntry& entry, int editing) {
  std::vector<std::string> taken{AccountTitle(FirstAccount(services_.settings))};
  for (size_t i = 0; i < entries_.size(); ++i)
    if (static_cast<int>(i) != editing) taken.push_back(entries_[i].account.Name);
  TAccountEditor editor(services_, entry, taken, this);
  if (editor.exec() != QDialog::Accepted) return false;
  entry = editor.Entry();
  return true;
}

void TAccountsPage::AddBtnClick() {
  AccountEntry entry;
  if (!RunEditor(entry, -1)) return;
  entries_.push_back(entry);
  ShowEntries(static_cast<int>(entries_.size()) - 1);
}

void TAccountsPage::EditBtnClick() {
  int row = AccountList->currentRow();
  if (row < 0) return;
  AccountEntry entry = entries_[static_cast<size_t>(row)];
  if (!RunEditor(entry, row)) return;
  entries_[static_cast<size_t>(row)] = entry;
  ShowEntries(row);
}

void TAccountsPage::RemoveBtnClick() {
  int row = AccountList->currentRow();
  if (row < 0) return;
  const AccountEntry& entry = entries_[static_cast<size_t>(row)];
  if (Ask(services_.ui, "Remove the account \"" + entry.account.Name + "\"?", "Accounts", Buttons::YesNo) !=
      Answer::Yes)
    return;
  removed_keys_.push_back(entry.loaded_keys);
  entries_.erase(entries_.begin() + row);
  ShowEntries(std::min(row, static_cast<int>(entries_.size()) - 1));
}

void TAccountsPage::MoveUpBtnClick() { Move(-1); }
void TAccountsPage::MoveDownBtnClick() { Move(+1); }

void TAccountsPage::Move(int by) {
  int row = AccountList->currentRow(), to = row + by;
  if (row < 0 || to < 0 || to >= static_cast<int>(entries_.size())) return;
  std::swap(entries_[static_cast<size_t>(row)], entries_[static_cast<size_t>(to)]);
  ShowEntries(to);
}

std::vector<std::string> TAccountsPage::Keep(UserInterface& ui, Settings& s) {
  std::vector<std::string> left;
  bool told = true;  // the User settings page tells of a keyring chosen where none answers
  s.Accounts.clear();
  for (const AccountEntry& entry : entries_) {
    Account account = entry.account;
    std::vector<std::string> gone =
        KeepAccountPasswords(ui, s, account, services_.secrets, entry.loaded_keys, entry.passwords, told);
    left.insert(left.end(), gone.begin(), gone.end());
    s.Accounts.push_back(account);
  }
  for (const PasswordSlots& keys : removed_keys_)
    for (const std::string& key : {keys.mail, keys.send})
      if (!key.empty()) left.push_back(key);
  return left;
}

}  // namespace corvelle
