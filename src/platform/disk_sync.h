#pragma once
// Flushing many new files at once, before one step that makes them the only copy (a POP3
// QUIT that commits deletions). The cost depends only on the files named, never on other
// unwritten data of the file system.

#include <string>
#include <vector>

namespace corvelle {

// Starts writing the file open as `fd` to disk without waiting, so that a later SyncFiles
// finds little left to do. Failures are ignored (SyncFiles reports them).
void StartWriteBack(int fd);

// Writes the data of every file in `paths` to disk and waits until it is there. Many files
// of one folder (or open on one file system) are written with one flush of their file
// system; otherwise several flushes run at once so the file system can commit them
// together. False when a file cannot be opened or its flush fails.
bool SyncFiles(const std::vector<std::string>& paths);
// The same for files still open: `open[i]` is the descriptor of `paths[i]`, or -1 for a file
// that is opened by its path. The descriptors stay open.
bool SyncFiles(const std::vector<std::string>& paths, const std::vector<int>& open);

// How many files a writer may keep open for a later flush (half the descriptors the process
// may have open, after the soft limit has been raised to the hard one, once).
size_t FilesKeptOpen();

}  // namespace corvelle
