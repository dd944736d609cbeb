#pragma once
// The mailbox window: an MDI child of the main window with the mail folder tree on the
// left and the chosen folder's messages on the right, a quick filter above them and a
// search across folders in its top bar. It follows the folders on disk as they change
// (files filed, opened, moved by this or another program). It is no message window: the
// frame's Viewers() and its closing rules leave it out. The message commands act on its
// selection while it is the active window (RunCommand).

#include <QFileSystemWatcher>
#include <QTimer>
#include <QWidget>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "ui/main/commands.h"

class QLineEdit;
class QSplitter;
class QTreeView;

namespace corvelle {

class TCorvelProg;
class TFolderTree;
class TMailboxModel;
struct Services;

class TMailboxWindow : public QWidget {
  Q_OBJECT
 public:
  // Builds the window on `frame` with the layout the settings file kept.
  TMailboxWindow(TCorvelProg& frame, Services& services, QWidget* parent = nullptr);

  // Shows the folder `path` (full, ending in "/"); false when the tree does not hold it.
  bool ShowFolder(const std::string& path);
  // The selected messages' paths, in list order, and the current one ("" when none).
  std::vector<std::string> SelectedPaths() const;
  std::string CurrentPath() const;
  bool HasSelection() const;

  // Runs `command` on the selection when it is one of the window's (Delete, Move, Reply,
  // Print, Save As): true then, even when nothing is selected.
  bool RunCommand(Command command);

  // Opens the current message in a message window.
  void OpenCurrent();
  // Applies what changed on disk now rather than after the short wait.
  void ApplyChanges();
  // Keeps the layout in the settings file; tells the result panel when it cannot.
  void SaveLayout();

  TFolderTree* Folders;
  QLineEdit* SearchLine;
  QLineEdit* FilterLine;
  QTreeView* List;
  TMailboxModel* Model;
  QSplitter* Splitter;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* BuildTopBar();
  QWidget* BuildListPane();
  void RestoreLayout();
  void FolderChosen();
  void SortChanged(int column, Qt::SortOrder order);
  void RunSearch();
  void SelectAfterRemoval();
  void WatchFolders();
  void FolderChanged(const QString& path);
  bool TreeMayHaveChanged(const std::set<std::string>& changed) const;
  void UpdateCounts(const std::vector<std::string>& paths);
  void ShowError(const std::string& folder, const std::string& error);
  std::string Relative(const std::string& path) const;

  TCorvelProg& frame_;
  Services& services_;
  QFileSystemWatcher watcher_;
  QTimer changes_;
  std::set<std::string> changed_;  // folders changed since the last ApplyChanges
  std::map<std::string, int64_t> links_;  // each watched folder's link count (FolderLinkCount)
};

// The mailbox window of `frame`: the active MDI child when it is one (ActiveMailbox), or
// wherever it is (FindMailbox); nullptr when none.
TMailboxWindow* ActiveMailbox(const TCorvelProg& frame);
TMailboxWindow* FindMailbox(const TCorvelProg& frame);

// Opens the mailbox window, or brings it back, and activates it with the main window.
TMailboxWindow* ShowMailbox(TCorvelProg& frame, Services& services);

}  // namespace corvelle
