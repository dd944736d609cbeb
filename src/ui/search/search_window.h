#pragma once
// The "Find messages" window, a child of the main window beside the message windows: a
// search text, the folders to search (all, or those checked), and the messages found,
// listed as they come in while the search runs on a thread of its own. A result opens in
// the message viewer.

#include <QWidget>
#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/search/message_search.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace corvelle {

class TCorvelProg;
struct FolderNode;

class TSearchWindow : public QWidget {
  Q_OBJECT
 public:
  // The folders come from the store of `frame`'s services as it is now.
  explicit TSearchWindow(TCorvelProg& frame, QWidget* parent = nullptr);
  // Stops a running search and waits for its thread.
  ~TSearchWindow() override;

  // Searches for the text of the field in the chosen folders, after stopping a search that
  // still runs; the results of that one are dropped. Says so in the status line when there
  // is no text or no folder to search.
  void Find();
  // Stops the running search at once; what it found stays listed.
  void Cancel();
  // Puts `text` into the field, chooses `folder` (a full folder path; "" for all folders)
  // and starts the search.
  void StartWith(const std::string& text, const std::string& folder);
  // Opens the message of the current result in a message window.
  void OpenCurrent();
  bool Searching() const { return searching_; }

  QLineEdit* SearchField;
  QPushButton* FindBtn;
  QPushButton* CancelBtn;
  QTreeWidget* FolderTree;  // "All folders" and the folder tree below it, checkable
  QTreeWidget* Results;     // Subject, From, Folder, Date; the path of each in its data
  QLabel* StatusText;

 private:
  void FillFolders();
  void AddFolderItems(QTreeWidgetItem* parent, const FolderNode& node, const std::string& path);
  void FolderChecked(QTreeWidgetItem* item);
  std::vector<std::string> ChosenFolders() const;
  void StopThread();
  // Called on searching threads: keep the hit or the folder and, when none is waiting
  // yet, ask the window's thread to take them.
  void HitFound(const SearchHit& hit);
  void FolderStarted(const std::string& folder);
  void PostTake();
  // On the window's thread: moves waiting hits into the list, a batch at a time.
  void TakeHits();
  void Finished(unsigned run, const SearchSummary& summary);
  void ShowCount(const QString& prefix);

  TCorvelProg& frame_;
  std::thread thread_;
  std::atomic<bool> cancel_{false};
  bool searching_ = false;
  unsigned run_ = 0;  // counts the searches started, so a late word of a stopped one is dropped
  bool checking_ = false;  // FolderChecked is changing check marks itself

  std::mutex mutex_;  // guards what follows, shared with the searching threads
  std::vector<SearchHit> waiting_;
  std::string folder_;      // the folder being searched
  bool take_posted_ = false;
};

}  // namespace corvelle
