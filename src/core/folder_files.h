#pragma once
// Listing mail folders and their files, long and short names, and the delete question.

#include <string>
#include <vector>

namespace corvelle {

// Adds the names (no path) of the files in `folder` to `list`, keeping `list` sorted
// ignoring letter case. Exact duplicates are ignored; names that differ only in case are
// two entries. `list` is not cleared first. An unreadable folder adds nothing.
void ListFolderFiles(const std::string& folder, std::vector<std::string>& list);

struct FolderNode {
  std::string name;
  std::vector<FolderNode> children;
};

// Adds a child to `parent` for each folder under `path`, recursively. Returns the number of
// names at this level.
int AddFolderNodes(FolderNode& parent, const std::string& path);

// Fills `root` with the folder tree of the mail directory; root.name = MailSettings.MailDirectory.
int FillFolderTree(FolderNode& root);

// The path itself (as stored) when the file exists, else "".
std::string ShortFileName(const std::string& path);
std::string LongFileName(const std::string& path);
std::string LongPathName(const std::string& path);

// Asks whether to delete `file_name` (through the user-interface seam). True for Yes.
bool ConfirmDeleteFile(const std::string& file_name);

}  // namespace corvelle
