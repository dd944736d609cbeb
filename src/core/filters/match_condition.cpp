#include "core/filters/match_condition.h"

#include <algorithm>

#include "core/store/header_lines.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// `lower` is already lower case.
bool ContainsIgnoringCase(std::string_view text, std::string_view lower) {
  return std::search(text.begin(), text.end(), lower.begin(), lower.end(),
                     [](char a, char b) { return Lower(a) == b; }) != text.end();
}

bool StartsWithField(std::string_view line, std::string_view lower_name) {
  if (line.size() <= lower_name.size() || line[lower_name.size()] != ':') return false;
  for (size_t i = 0; i < lower_name.size(); ++i)
    if (Lower(line[i]) != lower_name[i]) return false;
  return true;
}

bool BodyContains(std::string_view search, const std::vector<std::string>& message) {
  auto blank = std::find_if(message.begin(), message.end(), [](const std::string& l) { return l.empty(); });
  if (blank == message.end()) return false;
  return std::any_of(blank + 1, message.end(), [&](const std::string& l) { return ContainsIgnoringCase(l, search); });
}

bool FieldContains(std::string_view header, std::string_view search, const std::vector<std::string>& message) {
  for (size_t i = 0; i < message.size() && !message[i].empty(); ++i) {
    if (StartsWithField(message[i], header) && ContainsIgnoringCase(UnfoldedField(message, i, 0), search)) return true;
  }
  return false;
}

}  // namespace

bool MatchLowerCondition(std::string_view header, std::string_view search, const std::vector<std::string>& message,
                         std::string_view account) {
  if (header == kDefaultHeader) return true;
  if (search.empty()) return false;
  if (header == kMessageTextHeader) return BodyContains(search, message);
  if (header == kAccountHeader) return ContainsIgnoringCase(account, search);
  return FieldContains(header, search, message);
}

bool MatchCondition(std::string_view header, std::string_view search, const std::vector<std::string>& message,
                    std::string_view account) {
  return MatchLowerCondition(AsciiLower(header), AsciiLower(search), message, account);
}

}  // namespace corvelle
