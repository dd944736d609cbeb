#pragma once
// The folder selection dialog ("Mail Folder Selection"): the mail folder tree, and either a
// list of chosen folders in the quoted list form of the store, or one folder (single mode).
// Folder texts are relative to the mail directory, "/" between levels ("Projects/Old"), and
// kept as the bytes of the folder names, whatever they look like on screen.

#include <QDialog>
#include <string>

class QLabel;
class QListWidget;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace corvelle {

struct FolderNode;
class MailStore;
class UserInterface;

class TFolderSelect : public QDialog {
  Q_OBJECT
 public:
  // FormCreate: fills the tree with the folders of `store`; `ui` hears refusals.
  TFolderSelect(UserInterface& ui, const MailStore& store, QWidget* parent = nullptr);

  // One folder is chosen in the tree; the chosen-folder list and its buttons are hidden.
  void MakeSingleSel();
  // The result becomes `list`; a non-empty list also replaces the chosen folders.
  void SetFolders(const std::string& list);
  // The folder of the message being moved. The tree starts with nothing selected all the same.
  void SelectFolder(const std::string& folder);
  // Several-folder mode: the quoted list built by OK, else what SetFolders gave. Single mode:
  // the folder selected at OK.
  const std::string& GetFolders() const { return result_; }

  // Adds the folder selected in the tree to the chosen folders; nothing for the root. A name
  // holding a double quote cannot go into the list form and is refused with a message.
  void AddButtonClick();
  void RemoveButtonClick();
  // Closes with OK. Single mode needs a folder below the root, else it says so and stays open.
  void OKBtnClick();

  bool SingleSel = false;
  int SelectedCount = 0;  // folders in the result of a several-folder OK

  QTreeWidget* FolderList;
  QPushButton* AddButton;
  QPushButton* RemoveButton;
  QLabel* Label1;
  QListWidget* SelectedFolders;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;
  QPushButton* HelpBtn;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void AddNodes(QTreeWidgetItem* parent, const FolderNode& node);
  void AddChosen(const std::string& folder);
  // The folder text of the selected tree node; "" for none or the root.
  std::string SelectedPath() const;

  UserInterface& ui_;
  std::string result_;
};

}  // namespace corvelle
