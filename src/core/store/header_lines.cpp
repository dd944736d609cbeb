#include "core/store/header_lines.h"

#include "core/store/addresses.h"

namespace corvelle {

bool IsContinuationLine(std::string_view line) { return !line.empty() && (line[0] == ' ' || line[0] == '\t'); }

std::string UnfoldedField(const std::vector<std::string>& lines, size_t at, size_t prefix, size_t limit) {
  const std::string& first = lines[at];
  std::string value(Trimmed(std::string_view(first).substr(std::min(prefix, first.size()))));
  for (size_t next = at + 1; value.size() < limit && next < lines.size() && IsContinuationLine(lines[next]); ++next) {
    std::string_view piece = Trimmed(lines[next]);
    if (piece.empty()) continue;
    if (!value.empty()) value += ' ';
    value += piece;
  }
  return value;
}

bool IsHeaderLine(std::string_view line) {
  if (IsContinuationLine(line) || line.starts_with("From ")) return true;
  for (char c : line) {
    if (c == ':') return true;
    if (static_cast<unsigned char>(c) < 33 || static_cast<unsigned char>(c) > 126) return false;
  }
  return false;
}

size_t HeaderSize(std::string_view text) {
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    std::string_view line = text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (!IsHeaderLine(line)) return at;
    if (end == std::string_view::npos) return text.size();
    at = end + 1;
  }
  return text.size();
}

}  // namespace corvelle
