#include "core/accounts/spool_mark.h"

#include <cctype>

#include "platform/paths.h"

namespace corvelle {
namespace {

constexpr std::string_view kNew = ".new";

bool KeptAsIs(unsigned char c) { return std::isalnum(c) || c == '-' || c == '_'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

}  // namespace

std::string SpoolExtension(const std::string& name) {
  if (name.empty()) return std::string(kNew);
  static const char kDigits[] = "0123456789ABCDEF";
  std::string ext = ".";
  for (unsigned char c : name) {
    if (KeptAsIs(c)) {
      ext += static_cast<char>(c);
    } else {
      ext += '%';
      ext += kDigits[c >> 4];
      ext += kDigits[c & 15];
    }
  }
  return ext + std::string(kNew);
}

std::string SpoolFileAccount(std::string_view file_name) {
  if (file_name.size() < kNew.size() || !SameNameIgnoringCase(file_name.substr(file_name.size() - kNew.size()), kNew))
    return "";
  std::string_view stem = file_name.substr(0, file_name.size() - kNew.size());
  size_t dot = stem.find('.');
  if (dot == std::string_view::npos || dot == 0) return "";
  std::string_view marked = stem.substr(dot + 1);
  std::string name;
  for (size_t i = 0; i < marked.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(marked[i]);
    if (c == '%' && i + 2 < marked.size() && HexValue(marked[i + 1]) >= 0 && HexValue(marked[i + 2]) >= 0) {
      name += static_cast<char>(HexValue(marked[i + 1]) * 16 + HexValue(marked[i + 2]));
      i += 2;
    } else if (KeptAsIs(c)) {
      name += static_cast<char>(c);
    } else {
      return "";  // not a mark this program wrote
    }
  }
  return name;
}

}  // namespace corvelle
