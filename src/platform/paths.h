#pragma once
// Paths and file operations on a case-sensitive file system, for a program whose names
// match without regard to letter case: "Spool", "spool/" and "SPOOL" are one folder.
// Separator "/", and a path is absolute when it starts with "/".

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace corvelle {

// ASCII case-insensitive equality and ordering of names (bytes above 127 compare as they are).
bool SameNameIgnoringCase(std::string_view a, std::string_view b);
bool LessIgnoringCase(std::string_view a, std::string_view b);
std::string AsciiLower(std::string_view s);

// `path` with every component that is absent under its exact name replaced by the stored
// name of an entry that matches it ignoring case (the first such entry in byte order).
// Components with no match at all, and everything after them, stay as given, so the result
// is also the name to create. A trailing "/" is kept.
std::string ResolvePath(std::string_view path);

// True if a file or a folder of that name exists (names resolved ignoring case).
bool PathExists(std::string_view path);
bool FolderExists(std::string_view path);
bool FileExists(std::string_view path);

// Makes `path` and every missing folder above it. True when it is a folder afterwards.
bool MakeFolders(std::string_view path);

// The names in a folder, without "." and "..", as stored. Empty when it cannot be read.
struct FolderEntry {
  std::string name;
  bool is_folder = false;
  bool is_file = false;  // a regular file (not a folder, FIFO, device or socket)
};
std::vector<FolderEntry> ReadFolder(std::string_view folder);

// Moves (renames) a file without ever replacing an existing one. On one file system this
// is renameat2(RENAME_NOREPLACE); across file systems the file is copied, flushed with its
// folder, and only then unlinked. Both names are taken as given (resolve them first).
enum class MoveResult { kMoved, kTargetExists, kFailed };
MoveResult MoveNoReplace(const std::string& from, const std::string& to);

// Removes a file (never a folder), taken as given. False when it could not be removed.
bool RemoveFile(const std::string& path);

// True when an entry of exactly that name exists (no case resolution: a single lstat).
bool EntryExists(const std::string& path);

// Case-insensitive name lookups in folders that hold many files. Each folder's lower-cased
// entry names (files and folders) are read once and reused while the folder's modification
// time is unchanged; this process's own WriteNewFile, ReplaceFileAtomically, MoveNoReplace
// and RemoveFile keep the index current, and any other change moves the folder's time, so
// the folder is read afresh. `folder` is taken as given (resolve it first); a trailing "/"
// is ignored. A folder that cannot be read holds no names. Callers still create and move
// without replacing: the index only saves directory scans, it never licenses an overwrite.
bool FolderHasNameIgnoringCase(const std::string& folder, std::string_view name);

// The first n >= `from` (below `limit`) for which `folder` holds no entry named name_of(n),
// ignoring case, found with one check of the folder; `limit` when every candidate is taken.
// `generation` receives FolderNamesGeneration(folder) as it was for that answer.
std::uint64_t FirstFreeIndexedName(const std::string& folder, std::uint64_t from, std::uint64_t limit,
                                   const std::function<std::string(std::uint64_t)>& name_of,
                                   std::uint64_t& generation);

// A number that changes whenever names may have left `folder` (read afresh, or one of its
// names removed or moved away by this process). A caller that remembers "every candidate
// below this one is taken" starts over when it changes.
std::uint64_t FolderNamesGeneration(const std::string& folder);

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

// Creates the file `path`, which must not exist yet (mode `mode`), keeping the folder's name
// index current, and returns its descriptor open for writing; -1 (errno set) on failure,
// EEXIST when the name was taken. The caller writes, flushes and closes it.
int CreateNewFile(const std::string& path, unsigned mode = 0600);

// Writes `data` to a new file that must not exist yet, flushes it and its folder.
// False when the file exists or any step fails (a partial file is removed).
bool WriteNewFile(const std::string& path, std::string_view data);

// Replaces the file `path` with `data` atomically: temp file, flush, rename, flush folder.
// A crash leaves either the old or the new file, never a truncated one. Missing folders
// above it are made. Keeps the old file's permissions; a new file gets `new_mode`.
bool ReplaceFileAtomically(const std::string& path, std::string_view data, unsigned new_mode = 0600);

// The folder part of a path (up to and including its last "/"), and the part after it.
std::string FolderPart(std::string_view path);
std::string NamePart(std::string_view path);

}  // namespace corvelle
