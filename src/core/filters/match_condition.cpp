#include "core/filters/match_condition.h"

#include <string.h>

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

// No line holds an LF, so the lines joined by LFs hold `search` (no LF) only within a line.
bool BodyContains(std::string_view search, const std::optional<std::string>& lower_body) {
  // memmem skips ahead where find stops at every byte equal to the first of `search`.
  return lower_body && search.find('\n') == std::string_view::npos &&
         ::memmem(lower_body->data(), lower_body->size(), search.data(), search.size()) != nullptr;
}

bool FieldContains(std::string_view header, std::string_view search, const std::vector<std::string>& message) {
  for (size_t i = 0; i < message.size() && !message[i].empty(); ++i) {
    if (StartsWithField(message[i], header) && ContainsIgnoringCase(UnfoldedField(message, i, 0), search)) return true;
  }
  return false;
}

}  // namespace

const std::optional<std::string>& MatchedMessage::LowerBody() const {
  if (body_made_) return lower_body_;
  body_made_ = true;
  auto blank = std::find_if(lines_.begin(), lines_.end(), [](const std::string& l) { return l.empty(); });
  if (blank == lines_.end()) return lower_body_;
  std::string& body = lower_body_.emplace();
  if (body_apart_) {
    body = body_;
    // A CR that ends a line is part of the line end, not of the line.
    for (size_t lf = body.find('\n'); lf != std::string::npos; lf = body.find('\n', lf + 1))
      if (lf > 0 && body[lf - 1] == '\r') body[lf - 1] = '\n';
  } else {
    for (auto line = blank + 1; line != lines_.end(); ++line) {
      if (line != blank + 1) body += '\n';
      body += *line;
    }
  }
  for (char& c : body) c = Lower(c);
  return lower_body_;
}

bool MatchLowerCondition(std::string_view header, std::string_view search, const MatchedMessage& message,
                         std::string_view account) {
  if (header == kDefaultHeader) return true;
  if (search.empty()) return false;
  if (header == kMessageTextHeader) return BodyContains(search, message.LowerBody());
  if (header == kAccountHeader) return ContainsIgnoringCase(account, search);
  return FieldContains(header, search, message.Lines());
}

bool MatchLowerCondition(std::string_view header, std::string_view search, const std::vector<std::string>& message,
                         std::string_view account) {
  return MatchLowerCondition(header, search, MatchedMessage(message), account);
}

bool MatchCondition(std::string_view header, std::string_view search, const std::vector<std::string>& message,
                    std::string_view account) {
  return MatchLowerCondition(AsciiLower(header), AsciiLower(search), message, account);
}

}  // namespace corvelle
