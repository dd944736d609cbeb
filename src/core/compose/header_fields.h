#pragma once
// Reading the fields of a message header as the message windows show them. A header is the
// lines up to the first empty line; field names compare without regard to letter case. A
// field goes on over the lines after it that start with a space or a TAB.

#include <string>
#include <string_view>
#include <vector>

namespace corvelle {

// The value of a one-line field: `line` after its first `prefix_size` characters, without
// leading and trailing blanks, cut to its first 255 characters (a UTF-8 sequence is one).
std::string FieldValue(std::string_view line, size_t prefix_size);

// FieldValue of the field on `lines[at]` with its continuation lines unfolded first
// (UnfoldedField), so a folded subject is read whole before it is cut.
std::string FieldValue(const std::vector<std::string>& lines, size_t at, size_t prefix_size);

// The address text of the field on `lines[at]` ("From: ", "To: ", "Cc: "): the line from the
// second character after its first colon, with its continuation lines unfolded
// (UnfoldedField); never cut. `lines[at]` must hold a colon.
std::string AddressText(const std::vector<std::string>& lines, size_t at);

// The number of header lines: the index of the first empty line, or lines.size().
size_t HeaderLineCount(const std::vector<std::string>& lines);

}  // namespace corvelle
