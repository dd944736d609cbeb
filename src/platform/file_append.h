#pragma once
// Adding to a file that holds the only copy of something: the old contents are never at
// risk, and the caller learns whether the new bytes really reached the disk.

#include <string>
#include <string_view>

namespace corvelle {

// Appends `data` to `path`, or, when no such file exists, creates it under a hidden work
// name and renames it without replacing. Either way the file is flushed to disk and read
// back: true only when it then holds its old contents followed by exactly `data`. A failed
// append cuts the file back to its old length; a failed creation leaves no file.
bool AppendFileChecked(const std::string& path, std::string_view data);

}  // namespace corvelle

namespace corvelle {

// Writes `data` to the new file `path` (which must not exist) without flushing it: for runs
// that write many files and then flush them together (SyncFiles) and their folders before
// anything depends on them. False when the name is taken or a write fails (no file is left).
bool WriteNewFileUnflushed(const std::string& path, std::string_view data);

}  // namespace corvelle
