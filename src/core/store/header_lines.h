#pragma once
// The header of a message as lines: which lines continue a field, a field's value with its
// continuation lines unfolded (RFC 5322 2.2.3), and where the header ends.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace corvelle {

// True when `line` continues the header field above it: it starts with a space or a TAB.
bool IsContinuationLine(std::string_view line);

// The value of the field that starts on lines[at], from its character `prefix` on, with the
// continuation lines after it unfolded: each piece trimmed of spaces and TABs, the pieces
// joined by one space. Joining stops once the value holds `limit` bytes; there is no other
// cut, so encoded words are whole when decoded.
std::string UnfoldedField(const std::vector<std::string>& lines, size_t at, size_t prefix,
                          size_t limit = std::string::npos);

// True when `line` can be a line of a header: a field ("Name:", the name of printable
// characters other than ":", possibly empty), a "From " line, or a continuation.
bool IsHeaderLine(std::string_view line);

// The length of the header at the start of `text` (lines ending in LF or CR LF): the
// offset of the first line that is no header line (IsHeaderLine), or text.size(). A header
// that ends with an empty line ends there; one that does not ends where the body starts.
size_t HeaderSize(std::string_view text);

}  // namespace corvelle
