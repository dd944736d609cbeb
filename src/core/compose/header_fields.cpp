#include "core/compose/header_fields.h"

#include <algorithm>

#include "core/store/addresses.h"
#include "platform/paths.h"

namespace corvelle {

std::string FieldValue(std::string_view line, size_t prefix_size) {
  return TrimBlanks(line.substr(std::min(prefix_size, line.size())));
}

std::string AddressText(const std::vector<std::string>& lines, size_t at) {
  const std::string& line = lines[at];
  std::string text = FieldValue(line, line.find(':') + 2);
  for (size_t next = at + 1; next < lines.size() && !lines[next].empty() && lines[next][0] == ' '; ++next) {
    text += ' ';
    text += TrimBlanks(lines[next]);
  }
  // A continuation of blanks only leaves the joining space behind.
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.pop_back();
  return text;
}

size_t HeaderLineCount(const std::vector<std::string>& lines) {
  size_t count = 0;
  while (count < lines.size() && !lines[count].empty()) ++count;
  return count;
}

}  // namespace corvelle
