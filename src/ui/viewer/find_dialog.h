#pragma once
// The find dialog of the message windows: a find text, direction and options, and Find
// Next. Not modal; Cancel or Escape closes it. It only asks: the message window searches.

#include <QDialog>

#include "ui/viewer/text_search.h"

class QCheckBox;
class QGridLayout;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

namespace corvelle {

class TFindDialog : public QDialog {
  Q_OBJECT
 public:
  explicit TFindDialog(QWidget* parent = nullptr);

  QString FindWhat() const;
  SearchOptions Options() const;

  QLineEdit* FindEdit;
  QRadioButton* UpBtn;
  QRadioButton* DownBtn;
  QCheckBox* MatchCase;
  QCheckBox* WholeWord;
  QPushButton* FindNextBtn;
  QPushButton* CancelBtn;

 signals:
  void findNext(const QString& what, corvelle::SearchOptions options);

 protected:
  void showEvent(QShowEvent* event) override;
  // Buttons that need a find text; disabled while it is empty.
  void NeedsFindText(QPushButton* button);

  QGridLayout* fields_;    // label and edit rows
  QVBoxLayout* buttons_;   // the button column

 private:
  void UpdateButtons();
  QList<QPushButton*> needs_text_;
};

}  // namespace corvelle
