#pragma once
// The mail folders of the mailbox window as a tree ("System" and spool folders left out),
// each with the number of its new messages. Messages dragged from the message list onto a
// folder are handed on (messagesDropped) to be moved there.

#include <QStringList>
#include <QTreeWidget>
#include <string>
#include <vector>

namespace corvelle {

class MailStore;

class TFolderTree : public QTreeWidget {
  Q_OBJECT
 public:
  explicit TFolderTree(QWidget* parent = nullptr);

  // Fills the tree with the folders of `store`, keeping the chosen folder when it is still
  // there. The counts come after (SetCount, UpdateCount).
  void Fill(const MailStore& store);

  // The chosen folder's full path (ending in "/"), "" when none.
  std::string ChosenFolder() const;
  // Chooses the folder `path` (ending in "/"); false when the tree does not hold it.
  bool ChooseFolder(const std::string& path);

  // Counts the new messages of the folder `path` again, when the tree holds it; or shows
  // `count` for it.
  void UpdateCount(const std::string& path);
  void SetCount(const std::string& path, int count);

  // Every folder's full path, tree order.
  std::vector<std::string> FolderPaths() const;
  // Every folder the tree would show for `store` now, tree order.
  static std::vector<std::string> StoreFolderPaths(const MailStore& store);

 signals:
  // Message files (full paths) dropped onto the folder `folder` (full path).
  void messagesDropped(const std::vector<std::string>& paths, const std::string& folder);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  QTreeWidgetItem* ItemOf(const std::string& path) const;
  static void ShowCount(QTreeWidgetItem* item, int count);
};

}  // namespace corvelle
