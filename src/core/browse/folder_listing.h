#pragma once
// The files of one folder with their size and time, read in one pass (readdir, then fstatat
// on the open folder): fast enough for a folder of a hundred thousand messages. A second
// listing of a folder need not stat again: a file replaced under its name (written beside
// and renamed over it, as the store does) has a new inode number.

#include <cstdint>
#include <string>
#include <vector>

namespace corvelle {

struct ListedFile {
  std::string name;    // no path
  uint64_t inode = 0;
  int64_t size = -1;   // bytes; -1 until stated
  int64_t mtime = 0;   // modification time, seconds since the epoch
};

// The regular files of `folder` in directory order, hidden names (IsHiddenName) left out;
// a file that goes while it is read is left out too. False (and `files` empty) when the
// folder cannot be read; `error` then says why. Without `stat`, only names and inode numbers
// are read (size -1), and entries whose kind the folder does not tell are stated all the same.
bool ListFolderStats(const std::string& folder, std::vector<ListedFile>& files, std::string& error, bool stat = true);

// Fills in the size and time of `file` in `folder`; false when it is gone or no regular file.
bool StatListedFile(const std::string& folder, ListedFile& file);

// The link count of a folder: on most file systems 2 + its sub-folders, so a change tells
// that a sub-folder came or went. -1 when it cannot be read.
int64_t FolderLinkCount(const std::string& folder);

}  // namespace corvelle
