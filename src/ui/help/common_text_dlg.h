#pragma once
// TCommonTextDlg ("Common Text"): a description and a text, stored as a new common-text
// entry when OK finds both filled.

#include <QDialog>

#include "core/store/mail_store.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace corvelle {

class UserInterface;

class TCommonTextDlg : public QDialog {
  Q_OBJECT
 public:
  // Tells the user through `ui`.
  TCommonTextDlg(UserInterface& ui, MailStore store, QWidget* parent = nullptr);

  // OK: refuses an empty description or text with a message (focus to that field), and an
  // entry that cannot be written; otherwise stores the entry and closes with OK.
  void BitBtn1Click();

  QLineEdit* Description;
  QPlainTextEdit* TheText;
  QPushButton* BitBtn1;
  QPushButton* BitBtn2;
  QPushButton* BitBtn3;

 private:
  UserInterface& ui_;
  MailStore store_;
};

}  // namespace corvelle
