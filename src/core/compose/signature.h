#pragma once
// The signature block appended to a new message, and where the caret then stands.

#include <string>
#include <vector>

namespace corvelle {

struct SignatureBlock {
  std::vector<std::string> lines;  // "--" then the signature file's lines; empty when none
  size_t count = 0;                // the file's line count (0 for an empty file)
  bool appended() const { return !lines.empty(); }
};

// The signature block of the file `path` (names resolved ignoring case). A path that is
// empty, names no file, or cannot be read gives no block; an empty file gives "--" alone.
SignatureBlock ReadSignatureBlock(const std::string& path);

// How many lines above the end of a new message's text the caret goes, so that it stands on
// the first empty line before the signature block: with the text as lines, on the start of
// line lines.size() - n. A reply's text ends "", "", block; any other "", block. 0 (caret at
// the end) when no block was appended.
size_t CaretLinesFromEnd(const SignatureBlock& signature, bool is_reply);

}  // namespace corvelle
