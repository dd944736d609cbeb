#pragma once
// The recipient dialog ("Select recipient addresses"): the entries of the default address
// book on the left, a field for a typed address or nickname (completed from the book), and
// the chosen recipients on the right. Including an entry expands its nickname, so a group
// brings all its members; an address already chosen is not added twice. The caller fills
// ChosenList with its address line's entries and, after OK, takes them back from there.

#include <QDialog>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace corvelle {

struct Settings;
class UserInterface;

class TMailSelectDlg : public QDialog {
  Q_OBJECT
 public:
  // Tells the user through `ui`; `settings` name the default book and the user's domain.
  TMailSelectDlg(UserInterface& ui, const Settings& settings, QWidget* parent = nullptr);  // FormCreate: reads the default book

  void IncludeBtnClick();
  void ExcludeBtnClick();
  void IncTypedBtnClick();
  void EditAddrBookClick();
  void OKBtnClick();

  // Entries each but the last ending in ",": the caller's before showing, the chosen ones
  // after OK (empty after Cancel).
  std::vector<std::string> ChosenList;

  // The chosen recipients as shown, in order.
  std::vector<std::string> SendTo() const;

  QLabel* SrcLabel;
  QLineEdit* TypedAddr;
  QPushButton* IncTypedBtn;
  QListWidget* AddrList;
  QPushButton* IncludeBtn;
  QPushButton* ExcludeBtn;
  QListWidget* SendToList;
  QPushButton* EditAddrBook;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

 protected:
  void showEvent(QShowEvent* event) override;  // FormShow
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void ReadBook();
  void SetButtons();
  void DoMove(QListWidgetItem* line);
  void DoUniqueAdd(const std::string& text);
  void AddSorted(const std::string& text);
  QListWidgetItem* FindNickname(const std::string& nickname) const;

  UserInterface& ui_;
  const Settings& settings_;
  bool shown_ = false;
};

}  // namespace corvelle
