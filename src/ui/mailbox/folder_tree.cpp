#include "ui/mailbox/folder_tree.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QTreeWidgetItemIterator>
#include <functional>

#include "core/browse/new_mail_count.h"
#include "core/store/folder_files.h"
#include "core/store/mail_store.h"
#include "platform/paths.h"
#include "ui/common/qt_text.h"
#include "ui/mailbox/mailbox_model.h"

namespace corvelle {
namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kNameRole = Qt::UserRole + 1;
constexpr int kCountRole = Qt::UserRole + 2;  // the folder's own new messages

int OwnCount(const QTreeWidgetItem* item) { return item->data(0, kCountRole).toInt(); }

int CountBelow(const QTreeWidgetItem* item) {
  int count = 0;
  for (int i = 0; i < item->childCount(); ++i) count += OwnCount(item->child(i)) + CountBelow(item->child(i));
  return count;
}

// A folder shows its own count; folded, also its sub-folders', so that new mail in a folder
// out of sight still shows.
void ShowTotal(QTreeWidgetItem* item) {
  const int count = OwnCount(item) + (item->isExpanded() ? 0 : CountBelow(item));
  const QString name = item->data(0, kNameRole).toString();
  item->setText(0, count > 0 ? QString("%1 (%2)").arg(name).arg(count) : name);
  QFont font = item->font(0);
  font.setBold(count > 0);
  item->setFont(0, font);
}

std::string PathOf(const QTreeWidgetItem* item) {
  return item ? item->data(0, kPathRole).toByteArray().toStdString() : std::string();
}

void AddNodes(QTreeWidgetItem* parent, const FolderNode& node, const std::string& path) {
  for (const FolderNode& child : node.children) {
    auto* item = new QTreeWidgetItem(parent);
    const std::string child_path = path + child.name + "/";
    item->setData(0, kPathRole, QByteArray::fromStdString(child_path));
    item->setData(0, kNameRole, PathToQt(child.name));
    AddNodes(item, child, child_path);
  }
}

// The message paths a drag from the message list carries. Files dragged in from elsewhere
// are not taken: a drop here moves, and a file of the desktop is nobody's message.
std::vector<std::string> DraggedPaths(const QMimeData* mime) {
  std::vector<std::string> paths;
  for (const QByteArray& path : mime->data(kMessagePathsMime).split('\0'))
    if (!path.isEmpty()) paths.push_back(path.toStdString());
  return paths;
}

// The folders of the store that hold mail.
FolderNode MailFolders(const MailStore& store) {
  FolderNode root;
  store.FillMailFolderTree(root);
  return root;
}

}  // namespace

TFolderTree::TFolderTree(QWidget* parent) : QTreeWidget(parent) {
  setObjectName("FolderTree");
  setAccessibleName("Folders");
  setHeaderHidden(true);
  setColumnCount(1);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setAcceptDrops(true);
  setDropIndicatorShown(true);
  setDragDropMode(QAbstractItemView::DropOnly);
  connect(this, &QTreeWidget::itemExpanded, this, ShowTotal);
  connect(this, &QTreeWidget::itemCollapsed, this, ShowTotal);
}

std::vector<std::string> TFolderTree::StoreFolderPaths(const MailStore& store) {
  return corvelle::FolderPaths(MailFolders(store), store.Root());
}

void TFolderTree::Fill(const MailStore& store) {
  const std::string chosen = ChosenFolder();
  std::vector<std::string> expanded;
  for (QTreeWidgetItemIterator it(this); *it; ++it)
    if ((*it)->isExpanded()) expanded.push_back(PathOf(*it));
  const QSignalBlocker quiet(this);
  clear();
  AddNodes(invisibleRootItem(), MailFolders(store), store.Root());
  for (QTreeWidgetItemIterator it(this); *it; ++it) ShowCount(*it, 0);
  for (const std::string& path : expanded)
    if (QTreeWidgetItem* item = ItemOf(path)) item->setExpanded(true);
  if (!chosen.empty()) ChooseFolder(chosen);
}

void TFolderTree::ShowCount(QTreeWidgetItem* item, int count) {
  item->setData(0, kCountRole, count);
  for (QTreeWidgetItem* shown = item; shown; shown = shown->parent()) ShowTotal(shown);
}

void TFolderTree::UpdateCount(const std::string& path) {
  if (QTreeWidgetItem* item = ItemOf(path)) ShowCount(item, CountNewMessages(path));
}

void TFolderTree::SetCount(const std::string& path, int count) {
  if (QTreeWidgetItem* item = ItemOf(path)) ShowCount(item, count);
}

QTreeWidgetItem* TFolderTree::ItemOf(const std::string& path) const {
  for (QTreeWidgetItemIterator it(const_cast<TFolderTree*>(this)); *it; ++it)
    if (PathOf(*it) == path) return *it;
  return nullptr;
}

std::vector<std::string> TFolderTree::FolderPaths() const {
  std::vector<std::string> paths;
  for (QTreeWidgetItemIterator it(const_cast<TFolderTree*>(this)); *it; ++it) paths.push_back(PathOf(*it));
  return paths;
}

std::string TFolderTree::ChosenFolder() const { return PathOf(currentItem()); }

bool TFolderTree::ChooseFolder(const std::string& path) {
  QTreeWidgetItem* item = ItemOf(path);
  if (!item) return false;
  for (QTreeWidgetItem* up = item->parent(); up; up = up->parent()) up->setExpanded(true);
  setCurrentItem(item);
  scrollToItem(item);
  return true;
}

void TFolderTree::dragEnterEvent(QDragEnterEvent* event) {
  if (DraggedPaths(event->mimeData()).empty()) return event->ignore();
  event->setDropAction(Qt::MoveAction);
  event->accept();
}

void TFolderTree::dragMoveEvent(QDragMoveEvent* event) {
  if (!itemAt(event->position().toPoint())) return event->ignore();
  event->setDropAction(Qt::MoveAction);
  event->accept();
}

void TFolderTree::dropEvent(QDropEvent* event) {
  QTreeWidgetItem* target = itemAt(event->position().toPoint());
  std::vector<std::string> paths = DraggedPaths(event->mimeData());
  if (!target || paths.empty()) return event->ignore();
  // The move is the window's to do; the files are not the view's to drop.
  event->setDropAction(Qt::CopyAction);
  event->accept();
  emit messagesDropped(paths, PathOf(target));
}

}  // namespace corvelle
