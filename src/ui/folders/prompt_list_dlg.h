#pragma once
// A small question with a prompt and an editable drop-down list. The caller sets the caption
// and the list's items, runs it modally and reads ThisList's text.

#include <QDialog>
#include <string>

class QComboBox;
class QLabel;
class QPushButton;

namespace corvelle {

class TPromptListDlg : public QDialog {
  Q_OBJECT
 public:
  explicit TPromptListDlg(QWidget* parent = nullptr);

  void SetPrompt(const std::string& text);

  QLabel* ThisPrompt;
  QComboBox* ThisList;
  QPushButton* OK;
  QPushButton* Cancel;
};

}  // namespace corvelle
