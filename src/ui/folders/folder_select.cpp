#include "ui/folders/folder_select.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "core/store/mail_store.h"
#include "core/settings/settings.h"
#include "core/store/folder_files.h"
#include "core/store/folder_list.h"
#include "core/user_interface.h"
#include "ui/common/qt_text.h"

namespace corvelle {
namespace {

constexpr const char* kChooseFolder = "Please choose a mail folder.";
constexpr int kBytes = Qt::UserRole;  // the stored bytes of a node's name or a chosen folder

std::string BytesOf(const QVariant& data) { return data.toByteArray().toStdString(); }

}  // namespace

TFolderSelect::TFolderSelect(UserInterface& ui, const MailStore& store, QWidget* parent) : QDialog(parent), ui_(ui) {
  setObjectName("FolderSelect");
  setWindowTitle("Mail Folder Selection");
  // A close button only: without any button hint the window manager is told nothing
  // and offers minimize and maximize as well.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  FolderList = new QTreeWidget(this);
  FolderList->setObjectName("FolderList");
  FolderList->setHeaderHidden(true);
  FolderList->setIndentation(19);
  AddButton = new QPushButton("&Add", this);
  RemoveButton = new QPushButton("&Remove", this);
  Label1 = new QLabel("Selected Folder(s):", this);
  SelectedFolders = new QListWidget(this);
  SelectedFolders->setObjectName("SelectedFolders");
  Label1->setBuddy(SelectedFolders);
  OKBtn = new QPushButton("OK", this);
  OKBtn->setDefault(true);
  CancelBtn = new QPushButton("Cancel", this);
  HelpBtn = new QPushButton("Help", this);
  HelpBtn->setEnabled(false);

  auto* add_remove = new QHBoxLayout;
  add_remove->addWidget(AddButton);
  add_remove->addWidget(RemoveButton);
  add_remove->addStretch();
  auto* left = new QVBoxLayout;
  left->addWidget(FolderList, 149);  // the tree and the list share the height as 149 to 113
  left->addLayout(add_remove);
  left->addSpacing(4);
  left->addWidget(Label1);
  left->addWidget(SelectedFolders, 113);
  auto* right = new QVBoxLayout;
  right->addWidget(OKBtn);
  right->addWidget(CancelBtn);
  right->addWidget(HelpBtn);
  right->addStretch();
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left, 1);
  layout->addSpacing(4);
  layout->addLayout(right);
  resize(435, 373);

  FolderNode root;
  store.FillFolderTree(root);
  auto* top = new QTreeWidgetItem(FolderList, {PathToQt(root.name)});
  top->setIcon(0, style()->standardIcon(QStyle::SP_DriveHDIcon));
  AddNodes(top, root);
  top->setExpanded(true);

  connect(AddButton, &QPushButton::clicked, this, &TFolderSelect::AddButtonClick);
  connect(RemoveButton, &QPushButton::clicked, this, &TFolderSelect::RemoveButtonClick);
  connect(OKBtn, &QPushButton::clicked, this, &TFolderSelect::OKBtnClick);
  connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
}

void TFolderSelect::AddNodes(QTreeWidgetItem* parent, const FolderNode& node) {
  for (const FolderNode& child : node.children) {
    auto* item = new QTreeWidgetItem(parent, {PathToQt(child.name)});
    item->setData(0, kBytes, QByteArray::fromStdString(child.name));
    item->setIcon(0, style()->standardIcon(QStyle::SP_DirIcon));
    AddNodes(item, child);
  }
}

void TFolderSelect::MakeSingleSel() {
  SingleSel = true;
  for (QWidget* widget : {static_cast<QWidget*>(SelectedFolders), static_cast<QWidget*>(AddButton),
                          static_cast<QWidget*>(RemoveButton), static_cast<QWidget*>(Label1)})
    widget->hide();
}

void TFolderSelect::SetFolders(const std::string& list) {
  result_ = list;
  if (list.empty()) return;
  SelectedFolders->clear();
  for (const std::string& folder : SplitFolderList(list)) AddChosen(folder);
}

void TFolderSelect::SelectFolder(const std::string&) {}

void TFolderSelect::AddChosen(const std::string& folder) {
  auto* item = new QListWidgetItem(PathToQt(folder), SelectedFolders);
  item->setData(kBytes, QByteArray::fromStdString(folder));
}

std::string TFolderSelect::SelectedPath() const {
  std::string path;
  for (QTreeWidgetItem* item = FolderList->currentItem(); item && item->parent(); item = item->parent())
    path = BytesOf(item->data(0, kBytes)) + (path.empty() ? "" : "/" + path);
  return path;
}

void TFolderSelect::AddButtonClick() {
  std::string path = SelectedPath();
  if (path.empty()) return;
  if (path.find('"') != std::string::npos) {
    ShowMessage(ui_, "The folder " + path + " cannot be chosen because its name contains a double quote.");
    return;
  }
  AddChosen(path);
}

void TFolderSelect::RemoveButtonClick() {
  if (QListWidgetItem* item = SelectedFolders->currentItem(); item && item->isSelected()) delete item;
}

void TFolderSelect::OKBtnClick() {
  if (SingleSel) {
    std::string path = SelectedPath();
    if (path.empty()) {
      ShowMessage(ui_, kChooseFolder);
      return;
    }
    result_ = path;
  } else {
    std::vector<std::string> folders;
    for (int row = 0; row < SelectedFolders->count(); ++row)
      folders.push_back(BytesOf(SelectedFolders->item(row)->data(kBytes)));
    SelectedCount = static_cast<int>(folders.size());
    result_ = JoinFolderList(folders);
  }
  accept();
}

// Always in the middle of the screen, whichever window opened it.
void TFolderSelect::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous() && screen()) move(screen()->availableGeometry().center() - rect().center());
}

}  // namespace corvelle
