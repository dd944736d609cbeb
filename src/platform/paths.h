#pragma once
// Paths and file operations on a case-sensitive file system, for a program whose names
// match without regard to letter case: "Spool", "spool/" and "SPOOL" are one folder.
// Separator "/", and a path is absolute when it starts with "/".

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/folder_names.h"  // the name index kept for the folders

namespace corvelle {

// ASCII case-insensitive equality and ordering of names (bytes above 127 compare as they are).
bool SameNameIgnoringCase(std::string_view a, std::string_view b);
bool LessIgnoringCase(std::string_view a, std::string_view b);
std::string AsciiLower(std::string_view s);
// True when `s` starts with `prefix`, ignoring ASCII letter case.
bool StartsWithIgnoringCase(std::string_view s, std::string_view prefix);

// `path` with every component that is absent under its exact name replaced by the stored
// name of an entry that matches it ignoring case (the first such entry in byte order).
// Components with no match at all, and everything after them, stay as given, so the result
// is also the name to create. A trailing "/" is kept.
std::string ResolvePath(std::string_view path);

// True if a file or a folder of that name exists (names resolved ignoring case).
bool PathExists(std::string_view path);
bool FolderExists(std::string_view path);
bool FileExists(std::string_view path);

// Makes `path` and every missing folder above it, each private to the user (0700): folder
// and file names carry subjects and senders. Folders that exist keep their permissions.
// True when it is a folder afterwards.
bool MakeFolders(std::string_view path);

// The names in a folder, without "." and "..", as stored. Empty when it cannot be read.
struct FolderEntry {
  std::string name;
  bool is_folder = false;
  bool is_file = false;  // a regular file (not a folder, FIFO, device or socket)
};
std::vector<FolderEntry> ReadFolder(std::string_view folder);
// The same entries one at a time, for folders too big to hold as a list; false when the
// folder cannot be read.
bool ForEachFolderEntry(std::string_view folder, const std::function<void(FolderEntry&)>& visit);

// Moves (renames) a file without ever replacing an existing one. On one file system this
// is renameat2(RENAME_NOREPLACE); across file systems the file is copied, flushed with its
// folder, and only then unlinked; when that flush or the unlink fails, the copy is removed
// again and the move fails, so exactly one copy remains. Both names are taken as given
// (resolve them first).
enum class MoveResult { kMoved, kTargetExists, kFailed };
MoveResult MoveNoReplace(const std::string& from, const std::string& to);

// Copies the regular file `from` to the new name `to` without ever replacing a file: into a
// work file beside the target, flushed, renamed without replacing, and the folder flushed,
// so a crash never leaves a cut-off copy under the target's name. kMoved when the copy is
// complete on disk; on failure no copy is left. A caller making many copies into a few
// folders may flush those folders itself, once, with FolderFlush::kLater: the copy's bytes are
// still flushed before its name appears.
enum class FolderFlush { kNow, kLater };
MoveResult CopyNoReplace(const std::string& from, const std::string& to, FolderFlush flush = FolderFlush::kNow);

// Removes a file (never a folder), taken as given. False when it could not be removed.
bool RemoveFile(const std::string& path);

// True when an entry of exactly that name exists (no case resolution: a single lstat).
bool EntryExists(const std::string& path);

// The identity (device and inode) of what `path` names, following symbolic links.
struct FileIdentity {
  std::uint64_t device = 0, inode = 0;
  bool operator==(const FileIdentity&) const = default;
};
bool GetFileIdentity(std::string_view path, FileIdentity& identity);

// Flushes a file or a folder (its entries) to disk. False on failure.
bool SyncPath(const std::string& path);

// Reads a whole file into `out`. False (and `out` empty) when it cannot be read.
bool ReadWholeFile(std::string_view path, std::string& out);

// Creates the file `path`, which must not exist yet (mode `mode`), and returns its descriptor open for writing; -1 (errno set) on failure,
// EEXIST when the name was taken. The caller writes, flushes and closes it.
int CreateNewFile(const std::string& path, unsigned mode = 0600);

// Writes all of `data` to `fd`, taking up after interrupted and partial writes.
bool WriteAll(int fd, std::string_view data);

// Writes `data` to a new file that must not exist yet, flushes it and its folder.
// False when the file exists or any step fails (a partial file is removed).
bool WriteNewFile(const std::string& path, std::string_view data);

// Replaces the file `path` with `data` atomically: temp file, flush, rename, flush folder.
// A crash leaves either the old or the new file, never a truncated one. A symbolic link at
// `path` (or a chain of them) is written through: the file it names is replaced, beside
// which the temp file goes, and the link stays. Missing folders above it are made. Keeps
// the old file's permissions, and a new file gets `new_mode`; without `keep_old_mode` the
// file gets `new_mode` in any case.
bool ReplaceFileAtomically(const std::string& path, std::string_view data, unsigned new_mode = 0600,
                           bool keep_old_mode = true);

// Test seam: faults that real disks give rarely.
struct PathFaultsForTest {
  bool cross_device = false;  // every move copies, as across file systems
  std::string failing_sync;   // SyncPath of this path (trailing "/" ignored) fails
};
void SetPathFaultsForTest(PathFaultsForTest faults);

// The folder part of a path (up to and including its last "/"), and the part after it.
std::string FolderPart(std::string_view path);
std::string NamePart(std::string_view path);

}  // namespace corvelle
