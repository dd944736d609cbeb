#pragma once
// The address book editor ("Corvelle Address Book"): the books of the mail directory in a
// drop-down list, the entries of the open book (nickname, full name, address field) and the
// addresses of the selected entry. Changes live in the lists until Apply or OK writes the
// whole book; leaving a book with changes asks first. The automatic additions hand it
// addresses (SetNewAddresses) that it offers as soon as it shows.

#include <QDialog>
#include <string>
#include <vector>

#include "core/books/address_book.h"

class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace corvelle {

struct Settings;
class UserInterface;

inline constexpr const char* kUnsavedBookQuestion = "There are unsaved changes! Do you want to save this address book?";

class TAddressBookForm : public QDialog {
  Q_OBJECT
 public:
  // Tells and asks the user through `ui`; `settings` name the default book.
  TAddressBookForm(UserInterface& ui, const Settings& settings, QWidget* parent = nullptr);  // FormCreate: opens the default book

  // Addresses to offer when the editor shows (address texts as a message gives them).
  void SetNewAddresses(const std::vector<std::string>& texts);

  void DefAddressBookChange();
  void NewAddressBookClick();
  void DeleteABClick();
  void AddBtnClick();
  void SaveEntryBtnClick();
  void RemoveBtnClick();
  void AddAddressBtnClick();
  void RemoveAddressBtnClick();
  // Writes the book; false (the changes kept) when it could not be written.
  bool ApplyBtnClick();
  void OKBtnClick();

  // The entries in the order shown, which is the order written.
  std::vector<TAddressEntry> Entries() const;

  std::string CurrentPath;
  std::vector<std::string> PendingAddresses;  // offered, sorted ignoring case
  std::string NewFullName;                    // offered with them, "Last, First"

  QComboBox* DefAddressBook;
  QPushButton* NewAddressBook;
  QPushButton* DeleteAB;
  QTreeWidget* AddressEntries;
  QLineEdit* FullName;
  QListWidget* Members;
  QPushButton* AddBtn;
  QPushButton* SaveEntryBtn;
  QPushButton* RemoveBtn;
  QPushButton* AddAddressBtn;
  QPushButton* RemoveAddressBtn;
  QPushButton* ApplyBtn;
  QPushButton* OKBtn;
  QPushButton* CloseBtn;

  // FormCloseQuery: OK, Cancel and the close box ask about unsaved changes.
  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;  // FormShow

 private:
  void BuildLayout();
  void FillBookList(const std::string& select);
  bool MayLeaveBook();
  void ShowBook(const std::vector<TAddressEntry>& entries);
  void AddressEntriesChange();
  void NicknameEdited(QTreeWidgetItem* item, int column);
  void SortBy(int column);
  void AddMember(const std::string& address);
  void StoreMembers(QTreeWidgetItem* item);
  void Changed();
  QTreeWidgetItem* FindNickname(const std::string& nickname) const;
  std::vector<std::string> MemberList() const;
  bool AskNickname(std::string& nickname, QTreeWidgetItem*& existing);

  UserInterface& ui_;
  const Settings& settings_;
  std::string shown_book_;      // the name selected for CurrentPath
  bool book_readable_ = false;  // CurrentPath was read: saving it loses nothing
  bool filling_ = false;        // the lists are being filled: their signals change nothing
};

}  // namespace corvelle
