#pragma once
// The Filters page of the setup dialog: the filter rules in filtering order, and the
// editing of one rule at a time (its conditions one by one, its folders). Every change
// goes at once into the page's rule store, which writes section `filters` when the page is
// destroyed unless it was discarded (the dialog's Cancel).

#include <QWidget>
#include <string>
#include <vector>

#include "core/filters/mail_filter.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace corvelle {

struct Services;
class TFolderSelect;
class UserInterface;

class TFilterEditor : public QWidget {
  Q_OBJECT
 public:
  // Refusals and questions go to `ui`.
  explicit TFilterEditor(Services& services, QWidget* parent = nullptr);

  void NewButtonClick();
  void FilterListClick();
  // True when the rule was stored.
  bool SaveFilterClick();
  void AndButtonClick();
  void SelFolderButtonClick();
  void DeleteButtonClick();
  void UpBtnClick();
  void DownBtnClick();

  QGroupBox* GroupBox2;
  QLabel* Label1;
  QListWidget* FilterList;
  QPushButton* NewButton;
  QPushButton* DeleteButton;
  QPushButton* UpBtn;
  QPushButton* DownBtn;
  QGroupBox* EditFilters;
  QComboBox* HeaderText;
  QLineEdit* SearchText;
  QLineEdit* FolderText;
  QPushButton* SaveFilter;
  QPushButton* AndButton;
  QPushButton* SelFolderButton;
  TMailFilter MailFilter1;

  // The rule being edited, as PutRule takes it, and the condition shown.
  FilterRule WorkRule;
  int CondIndex = 0;

  // Runs the folder selection dialog of Select Folders (tests replace it).
  void (*run_folder_select)(TFolderSelect& dialog) = nullptr;

 private:
  void BuildLayout();
  void FillFilterList();
  void CurrentRowChanged();
  // Empty fields and work lines for the line of a rule not stored yet.
  void StartNewRule();
  // The selected line is a new rule not stored yet.
  bool NewRuleSelected() const;
  int Selected() const;
  void ShowCondition(size_t condition);
  // The condition in the fields.
  FilterCondition EditedCondition() const;
  void ClearCondition();
  bool StoreSelected();
  void MoveLine(int from, int to);
  void Refuse(const char* caption, const char* text);

  Services& services_;
  UserInterface& ui_;
};

}  // namespace corvelle
