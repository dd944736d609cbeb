#include "net/pop3/pop3_reply.h"

#include <cctype>
#include <climits>

#include "platform/paths.h"

namespace corvelle {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// A whole decimal number with an optional sign; false when `text` is anything else.
bool ParseNumber(std::string_view text, long& value) {
  value = 0;
  bool negative = false;
  if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  if (text.empty() || text.size() > 18) return false;
  for (char c : text) {
    if (!IsDigit(c)) return false;
    value = value * 10 + (c - '0');
  }
  if (negative) value = -value;
  return true;
}

}  // namespace

bool IsPositiveReply(std::string_view reply) { return reply.substr(0, 3) == "+OK"; }

int StatCount(std::string_view reply) {
  if (reply.size() <= 4) return -1;
  std::string_view window = reply.substr(4, 20);
  size_t space = window.find(' ');
  if (space == std::string_view::npos) return -1;
  long count = 0;
  if (!ParseNumber(window.substr(0, space), count) || count > INT_MAX || count < INT_MIN) return -1;
  return static_cast<int>(count);
}

RetrSize RetrReplySize(std::string_view reply) {
  RetrSize result;
  size_t space = reply.find(' ');
  if (space == std::string_view::npos) return result;
  std::string_view text = reply.substr(space + 1);
  result.text = std::string(text);
  size_t word_end = text.find(' ');
  long size = 0;
  if (word_end != std::string_view::npos) ParseNumber(text.substr(0, word_end), size);
  if (size == 0) {
    size_t octets = text.find("octets");
    if (octets != std::string_view::npos && octets >= 2) {
      size_t end = octets - 1;  // one past the last digit, two characters before "octets"
      size_t begin = end;
      while (begin > 0 && IsDigit(text[begin - 1])) --begin;
      if (begin < end) ParseNumber(text.substr(begin, end - begin), size);
    }
  }
  result.size = size > 0 ? size : 0;
  return result;
}

bool ParseUidlLine(std::string_view line, int& number, std::string& id) {
  size_t space = line.find(' ');
  long value = 0;
  if (space == std::string_view::npos || space == 0 || !IsDigit(line[0]) ||
      !ParseNumber(line.substr(0, space), value) || value < 1 || value > INT_MAX)
    return false;
  std::string_view text = line.substr(space + 1);
  if (text.empty() || text.size() > 70) return false;
  for (char c : text)
    if (c < 0x21 || c > 0x7E) return false;
  number = static_cast<int>(value);
  id.assign(text);
  return true;
}

bool CapabilityLineNames(std::string_view line, std::string_view name) {
  return SameNameIgnoringCase(line.substr(0, line.find(' ')), name);
}

void UnstuffLine(std::string& line) {
  if (!line.empty() && line[0] == '.') line.erase(0, 1);
}

}  // namespace corvelle
