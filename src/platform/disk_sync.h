#pragma once
// Flushing a whole file system at once: cheaper than flushing many new files one by one
// when all of them must be on disk before one step (a POP3 QUIT that commits deletions).

#include <string>

namespace corvelle {

// Writes every file and folder entry of the file system holding `path` to disk (syncfs).
// False when `path` cannot be opened or the flush fails.
bool SyncFileSystem(const std::string& path);

}  // namespace corvelle
