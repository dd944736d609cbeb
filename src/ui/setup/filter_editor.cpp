#include "ui/setup/filter_editor.h"

#include <QApplication>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "core/user_interface.h"
#include "ui/common/named.h"
#include "ui/common/qt_text.h"
#include "ui/folders/folder_select.h"
#include "ui/main/services.h"

namespace corvelle {
namespace {

constexpr const char* kNewRuleLine = " ";

QString Shown(const std::string& value) { return TextToQt(value.substr(0, kConditionWidth)); }

}  // namespace

TFilterEditor::TFilterEditor(Services& services, QWidget* parent)
    : QWidget(parent),
      GroupBox2(Named(new QGroupBox("Current Mail Filters", this), "GroupBox2")),
      Label1(Named(new QLabel("Mail filtering will occur in the following order:", this), "Label1")),
      FilterList(Named(new QListWidget(this), "FilterList")),
      NewButton(Named(new QPushButton("&New", this), "NewButton")),
      DeleteButton(Named(new QPushButton("&Delete", this), "DeleteButton")),
      UpBtn(Named(new QPushButton("&Up", this), "UpBtn")),
      DownBtn(Named(new QPushButton("Do&wn", this), "DownBtn")),
      EditFilters(Named(new QGroupBox("Edit Filters", this), "EditFilters")),
      HeaderText(Named(new QComboBox(this), "HeaderText")),
      SearchText(Named(new QLineEdit(this), "SearchText")),
      FolderText(Named(new QLineEdit(this), "FolderText")),
      SaveFilter(Named(new QPushButton("&Save Filter", this), "SaveFilter")),
      AndButton(Named(new QPushButton("Next &Condition", this), "AndButton")),
      SelFolderButton(Named(new QPushButton("Select F&olders", this), "SelFolderButton")),
      services_(services),
      ui_(services.ui) {
  setObjectName("FiltersPage");
  HeaderText->setEditable(true);
  HeaderText->addItems({"From", "To", "Subject", "Cc", "*Message Text*", "*Account*", "*Default*"});
  HeaderText->setCurrentIndex(0);
  FolderText->setReadOnly(true);
  FilterList->setAccessibleName("Current mail filters");
  FilterList->setSelectionMode(QAbstractItemView::SingleSelection);
  BuildLayout();
  FillFilterList();

  connect(FilterList, &QListWidget::itemClicked, this, &TFilterEditor::FilterListClick);
  connect(FilterList, &QListWidget::itemDoubleClicked, this, &TFilterEditor::FilterListClick);
  connect(FilterList, &QListWidget::currentRowChanged, this, &TFilterEditor::CurrentRowChanged);
  connect(NewButton, &QPushButton::clicked, this, &TFilterEditor::NewButtonClick);
  connect(DeleteButton, &QPushButton::clicked, this, &TFilterEditor::DeleteButtonClick);
  connect(UpBtn, &QPushButton::clicked, this, &TFilterEditor::UpBtnClick);
  connect(DownBtn, &QPushButton::clicked, this, &TFilterEditor::DownBtnClick);
  connect(SaveFilter, &QPushButton::clicked, this, &TFilterEditor::SaveFilterClick);
  connect(AndButton, &QPushButton::clicked, this, &TFilterEditor::AndButtonClick);
  connect(SelFolderButton, &QPushButton::clicked, this, &TFilterEditor::SelFolderButtonClick);
}

void TFilterEditor::Refuse(const char* caption, const char* text) {
  ui_.Message(text, caption, Buttons::Ok, MessageIcon::Error);
}

void TFilterEditor::BuildLayout() {
  auto* rules = new QVBoxLayout(GroupBox2);
  rules->addWidget(Label1);
  rules->addWidget(FilterList, 1);
  auto* rule_buttons = new QHBoxLayout;
  for (QPushButton* button : {NewButton, DeleteButton, UpBtn, DownBtn}) rule_buttons->addWidget(button);
  rules->addLayout(rule_buttons);

  auto* fields = new QFormLayout;
  auto* header_label = new QLabel("&Filter on:", EditFilters);
  header_label->setBuddy(HeaderText);
  auto* search_label = new QLabel("Search &text:", EditFilters);
  search_label->setBuddy(SearchText);
  fields->addRow(header_label, HeaderText);
  fields->addRow(search_label, SearchText);
  fields->addRow(new QLabel("Into folder(s):", EditFilters), FolderText);
  auto* edit = new QVBoxLayout(EditFilters);
  edit->addLayout(fields);
  auto* edit_buttons = new QHBoxLayout;
  for (QPushButton* button : {SaveFilter, AndButton, SelFolderButton}) edit_buttons->addWidget(button);
  edit->addLayout(edit_buttons);

  auto* page = new QVBoxLayout(this);
  page->addWidget(GroupBox2, 1);
  page->addWidget(EditFilters);
}

void TFilterEditor::FillFilterList() {
  FilterList->clear();
  for (const std::string& text : MailFilter1.RuleTexts()) FilterList->addItem(TextToQt(text));
}

int TFilterEditor::Selected() const {
  QListWidgetItem* item = FilterList->currentItem();
  return item && item->isSelected() ? FilterList->row(item) : -1;
}

bool TFilterEditor::NewRuleSelected() const {
  int row = Selected();
  return row >= 0 && row >= MailFilter1.FilterCount();
}

void TFilterEditor::ClearCondition() {
  HeaderText->setCurrentIndex(0);
  SearchText->clear();
}

void TFilterEditor::ShowCondition(size_t condition) {
  HeaderText->setEditText(Shown(WorkRule.conditions[condition].header));
  SearchText->setText(Shown(WorkRule.conditions[condition].search));
}

FilterCondition TFilterEditor::EditedCondition() const {
  return {TextFromQt(HeaderText->currentText()), TextFromQt(SearchText->text())};
}

// The list holds the stored rules in their order and, after New, at most one line of a
// rule not stored yet, the last: row i is always rule i + 1.
void TFilterEditor::NewButtonClick() {
  if (FilterList->count() == MailFilter1.FilterCount()) FilterList->addItem(kNewRuleLine);
  FilterList->setCurrentRow(FilterList->count() - 1);
  StartNewRule();
  HeaderText->setFocus();
}

void TFilterEditor::StartNewRule() {
  CondIndex = 0;
  WorkRule = {};  // a new rule starts empty, not with the conditions of the last one shown
  ClearCondition();
  FolderText->clear();
}

// The current line changed, by mouse or keyboard: the fields show its rule, so that Save
// never stores the fields of one rule over another.
void TFilterEditor::CurrentRowChanged() {
  if (NewRuleSelected())
    StartNewRule();
  else
    FilterListClick();
}

void TFilterEditor::FilterListClick() {
  int row = Selected();
  if (row < 0 || NewRuleSelected()) return;  // an unstored rule has nothing to show
  CondIndex = 0;
  WorkRule = MailFilter1.Rules()[row];
  if (WorkRule.conditions.empty()) return;
  ShowCondition(0);
  FolderText->setText(Shown(WorkRule.folders));
}

bool TFilterEditor::SaveFilterClick() {
  if (HeaderText->currentText().isEmpty() || SearchText->text().isEmpty() || FolderText->text().isEmpty()) {
    Refuse("Save Filter Error", "All edit categories must be filled.");
    return false;
  }
  // The condition shown is replaced; one past the last is added.
  std::vector<FilterCondition>& conditions = WorkRule.conditions;
  if (static_cast<size_t>(CondIndex) < conditions.size())
    conditions[CondIndex] = EditedCondition();
  else
    conditions.push_back(EditedCondition());
  WorkRule.folders = TextFromQt(FolderText->text());
  if (Selected() < 0) {
    Refuse("Save Filter Error", "You must first select a filter to save.");
    return false;
  }
  return StoreSelected();
}

// Stores WorkRule as the selected rule (a new last one for the unstored line) and shows it.
bool TFilterEditor::StoreSelected() {
  int row = Selected();
  if (!MailFilter1.PutRule(WorkRule, NewRuleSelected() ? 0 : row + 1)) {
    Refuse("Save Filter Error", "Filter could not be added.");
    return false;
  }
  FilterList->item(row)->setText(TextToQt(FilterRuleText(WorkRule)));
  FilterList->setCurrentRow(row);
  return true;
}

void TFilterEditor::AndButtonClick() {
  if (Selected() < 0) {
    Refuse("Mail Filter Error", "You must first select a filter.");
    return;
  }
  if (NewRuleSelected()) {
    WorkRule = {};
    SaveFilterClick();
    if (WorkRule.conditions.empty() || NewRuleSelected()) return;
  }
  const size_t shown = static_cast<size_t>(CondIndex), count = WorkRule.conditions.size();
  if (shown >= count) {
    if (HeaderText->currentText().isEmpty() || SearchText->text().isEmpty()) {
      Refuse("Mail Filter Error", "'Filter on' and 'Search text' fields must be filled to add a search condition.");
    } else {
      WorkRule.conditions.push_back(EditedCondition());
      if (StoreSelected()) ClearCondition();
    }
  } else if (shown + 1 == count) {
    ClearCondition();
  } else {
    ShowCondition(shown + 1);
  }
  ++CondIndex;
}

void TFilterEditor::SelFolderButtonClick() {
  if (Selected() < 0) {
    Refuse("Mail Filter Error", "You must first select a filter.");
    return;
  }
  TFolderSelect dialog(services_.ui, services_.Store(), this);
  dialog.SetFolders(TextFromQt(FolderText->text()));
  if (run_folder_select)
    run_folder_select(dialog);
  else
    dialog.exec();
  FolderText->setText(TextToQt(dialog.GetFolders()));
  SaveFilterClick();
}

void TFilterEditor::DeleteButtonClick() {
  int row = Selected();
  if (row < 0 || Ask(ui_, "Delete this filter?", "Mail Filters", Buttons::YesNo) != Answer::Yes) return;
  MailFilter1.DeleteFilter(row + 1);
  FillFilterList();
  ClearCondition();
  FolderText->clear();
  CondIndex = 0;
}

// The rule moves with its line and stays the one shown: the fields keep what they hold.
void TFilterEditor::MoveLine(int from, int to) {
  {
    const QSignalBlocker same_rule(FilterList);
    FilterList->insertItem(to, FilterList->takeItem(from));
    FilterList->setCurrentRow(to);
  }
  FilterList->setFocus();
}

// Stored rules are the first lines; a line of an unstored new rule follows them. Moving it,
// or a rule past it, is refused: the store has no rule there to exchange with.
void TFilterEditor::UpBtnClick() {
  int row = Selected();
  if (row < 0) return Refuse("Mail Filter Error", "You must first select a filter.");
  if (row == 0 || row >= MailFilter1.FilterCount()) return QApplication::beep();
  MailFilter1.SwapFilter(row + 1, row);
  MoveLine(row, row - 1);
}

void TFilterEditor::DownBtnClick() {
  int row = Selected();
  if (row < 0) return Refuse("Mail Filter Error", "You must first select a filter.");
  if (row + 1 >= MailFilter1.FilterCount()) return QApplication::beep();
  MailFilter1.SwapFilter(row + 1, row + 2);
  MoveLine(row, row + 1);
}

}  // namespace corvelle
