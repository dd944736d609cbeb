#include "core/cmdline/forwarded_line.h"

namespace corvelle {

std::optional<std::string> EncodeForwardedLine(const std::vector<std::string>& list) {
  std::string line;
  for (const std::string& token : list) {
    if (token.find(kParmSeparator) != std::string::npos) return std::nullopt;
    line += token;
    line += kParmSeparator;
  }
  if (line.size() > kMaxForwardedLine) return std::nullopt;
  return line;
}

std::optional<std::vector<std::string>> DecodeForwardedLine(const std::string& line) {
  if (line.size() > kMaxForwardedLine) return std::nullopt;
  std::vector<std::string> list;
  size_t start = 0;
  while (start < line.size()) {
    size_t end = line.find(kParmSeparator, start);
    if (end == std::string::npos) end = line.size();
    list.push_back(line.substr(start, end - start));
    start = end + 1;
  }
  return list;
}

}  // namespace corvelle
