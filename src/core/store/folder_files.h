#pragma once
// Listing mail folders and their files, long and short names, and the delete question.

#include <string>
#include <string_view>
#include <vector>

namespace corvelle {

class UserInterface;

// Adds the names (no path) of the files in `folder` (folders left out) to `list` and sorts
// it ignoring letter case (names equal but for case in byte order). Exact duplicates are
// dropped; names that differ only in case are two entries, since both files exist. `list`
// is not cleared first. An unreadable folder adds nothing. Lets `ui` process events while
// it reads.
void ListFolderFiles(UserInterface& ui, const std::string& folder, std::vector<std::string>& list);

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
