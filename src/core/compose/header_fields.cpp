#include "core/compose/header_fields.h"

#include <algorithm>

#include "core/store/addresses.h"
#include "core/store/file_naming.h"
#include "core/store/header_lines.h"

namespace corvelle {
namespace {

constexpr size_t kMaxFieldCharacters = 255;

std::string CutValue(std::string_view value) {
  value = Trimmed(value);
  return std::string(Trimmed(value.substr(0, Utf8PrefixBytes(value, kMaxFieldCharacters))));
}

}  // namespace

std::string FieldValue(std::string_view line, size_t prefix_size) {
  return CutValue(line.substr(std::min(prefix_size, line.size())));
}

std::string FieldValue(const std::vector<std::string>& lines, size_t at, size_t prefix_size) {
  return CutValue(UnfoldedField(lines, at, prefix_size));
}

std::string AddressText(const std::vector<std::string>& lines, size_t at) {
  return UnfoldedField(lines, at, lines[at].find(':') + 2);
}

size_t HeaderLineCount(const std::vector<std::string>& lines) {
  size_t count = 0;
  while (count < lines.size() && !lines[count].empty()) ++count;
  return count;
}

}  // namespace corvelle
