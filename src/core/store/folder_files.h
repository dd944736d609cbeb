#pragma once
// Listing mail folders and their files, long and short names, and the delete question.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace corvelle {

class NameSpill;
class UserInterface;

// Adds the names (no path) of the files in `folder` (folders left out) to `list` and sorts
// it ignoring letter case (names equal but for case in byte order). Exact duplicates are
// dropped; names that differ only in case are two entries, since both files exist. `list`
// is not cleared first. An unreadable folder adds nothing. Lets `ui` process events while
// it reads.
void ListFolderFiles(UserInterface& ui, const std::string& folder, std::vector<std::string>& list);

// The file names of a folder in the order of ListFolderFiles, one at a time, read with one
// pass over the folder. Past `in_memory` names they are sorted in runs kept in temporary
// files and merged, so that a folder of any size costs the same memory.
class SortedFolderFiles {
 public:
  SortedFolderFiles(UserInterface& ui, const std::string& folder, size_t in_memory = 16384);
  ~SortedFolderFiles();

  size_t Count() const { return count_; }
  // The next name; false at the end, or when a run could not be read back (Failed tells).
  bool Next(std::string& name);
  bool Failed() const { return failed_; }

 private:
  struct Source;
  static bool Later(const Source& a, const Source& b);
  void Spill();
  bool Refill(Source& source);  // the source's next name; false when it has no more

  std::vector<std::string> names_;  // the names not spilled, sorted once all are read
  std::vector<std::unique_ptr<NameSpill>> runs_;
  std::vector<Source> heap_;  // the next name of each run and of names_, the first on top
  size_t next_memory_ = 0, count_ = 0;
  bool started_ = false, failed_ = false;
};

// True for a name the desktop hides: a dot-file or a name ending in "~". Such files are
// nobody's messages.
inline bool IsHiddenName(std::string_view name) { return !name.empty() && (name.front() == '.' || name.back() == '~'); }

struct FolderNode {
  std::string name;
  std::vector<FolderNode> children;
};

// Adds a child to `parent` for each folder in `path` (sorted ignoring case), each with its
// own sub-folders, recursively. Folders named "spool" (any case, any depth) are left out, and
// so is a folder that is one of its own ancestors (a symbolic link loop). Returns the number
// of folders added at this level.
int AddFolderNodes(FolderNode& parent, const std::string& path);

// The folders below `node` at any depth, parents before their sub-folders, each as `path`
// (ending in "/") + the names down to it + "/".
std::vector<std::string> FolderPaths(const FolderNode& node, const std::string& path);

// A file has one name here: the path itself when the file exists (resolved ignoring case),
// else "".
std::string ShortFileName(const std::string& path);
// The folder part of `path` + the file's name as stored (its letter case); "" when absent.
std::string LongFileName(const std::string& path);
// The whole path with every component as stored; "" when `path` holds no "/" or a
// component cannot be found.
std::string LongPathName(const std::string& path);

// Asks (through `ui`) "Are you sure you want to delete <file_name>?" (caption "Delete mail warning", Yes
// and No) and deletes the file on Yes. True when the file was deleted.
bool ConfirmDeleteFile(UserInterface& ui, const std::string& file_name);

}  // namespace corvelle
