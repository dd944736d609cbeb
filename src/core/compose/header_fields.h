#pragma once
// Reading the fields of a message header as the message windows show them. A header is the
// lines up to the first empty line; field names compare without regard to letter case.

#include <string>
#include <string_view>
#include <vector>

namespace corvelle {

// The value of a one-line field: `line` after its first `prefix_size` characters, through
// TrimBlanks (leading blanks off, at most 255 characters, trailing blanks off).
std::string FieldValue(std::string_view line, size_t prefix_size);

// The address text of the field on `lines[at]` ("From: ", "To: ", "Cc: "): the line from the
// second character after its first colon, through TrimBlanks, then every following line
// that starts with a space appended with one space between, each through TrimBlanks; the
// whole without trailing blanks. `lines[at]` must hold a colon.
std::string AddressText(const std::vector<std::string>& lines, size_t at);

// The number of header lines: the index of the first empty line, or lines.size().
size_t HeaderLineCount(const std::vector<std::string>& lines);

}  // namespace corvelle
