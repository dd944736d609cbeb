#pragma once
// Whether the user may change a file, asked before a file is replaced on purpose.

#include <string_view>

namespace corvelle {

// True when the existing file `path` (resolved ignoring case) may be written: it has a
// write permission bit (a file made read-only has none, which counts for root too) and the
// process's effective rights allow it. False for a missing file.
bool IsWritableFile(std::string_view path);

}  // namespace corvelle
