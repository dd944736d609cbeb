#pragma once
// Writing a message's lines to a chosen file: a Save As target, or the postponed file a
// composition was reopened from.

#include <string>
#include <vector>

namespace corvelle {

// Writes `lines` (each followed by CR LF) to `path` (resolved ignoring case). A new file is
// made without replacing anything (WriteMessageLines). An existing file, which the caller
// means to replace, is replaced atomically: temp file, flush, rename over it, flush the
// folder; a crash leaves the old text or the new one, never a cut one. A read-only file
// (IsWritableFile false) is not replaced. False when a step fails; an existing file then
// stays as it was.
bool SaveMessageLines(const std::string& path, const std::vector<std::string>& lines);

}  // namespace corvelle
