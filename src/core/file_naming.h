#pragma once
// Names for new message files and moves that never overwrite. Message files are named with
// the lowest free hexadecimal counter ("0", "1", ... "a", "b", ...) plus an extension; a name
// counts as taken when any file matches it ignoring letter case.

#include <string>
#include <string_view>

namespace corvelle {

// `folder` + "/" + the lowest free hex counter name + `extension`. The name is free at the
// time of the call; creating the file with it may still race, so create without replacing.
std::string UniqueFileName(const std::string& folder, const std::string& extension);

// A free name in the spool folder: UniqueFileName(MailDirectory + "Spool", ".out").
std::string SpoolFileName();

// Moves `source` to `target`, or to the first free numbered variant of it when `target` is
// taken ("Name 0" first, then "Name0", "Name1", ...). Never replaces an existing file.
// `final_name` receives the name moved to, "" on failure; returns !final_name.empty().
bool MoveFileUnique(const std::string& source, const std::string& target, std::string& final_name);

// Makes `s` usable as a file name in place: characters that no file name may hold are
// replaced, and the name is trimmed of what the file system would refuse.
void SanitizeFileName(std::string& s);

// True when `s` cannot be used as a file name as it is.
bool IsBadFileName(const std::string& s);

// The extension of a path: from the last "." after the last "/", dot included; "" if none.
std::string FileExtension(std::string_view name);

}  // namespace corvelle
