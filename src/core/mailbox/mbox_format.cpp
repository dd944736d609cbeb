#include "core/mailbox/mbox_format.h"

#include <algorithm>
#include <cstdio>

namespace corvelle {
namespace {

bool FromAfterQuotes(std::string_view line, size_t min_quotes) {
  size_t quotes = line.find_first_not_of('>');
  if (quotes == std::string_view::npos || quotes < min_quotes) return false;
  return line.substr(quotes, 5) == "From ";
}

constexpr std::string_view kDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr std::string_view kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

template <size_t N>
bool OneOf(std::string_view token, const std::string_view (&names)[N]) {
  for (std::string_view name : names)
    if (token == name) return true;
  return false;
}

bool AllDigits(std::string_view s) {
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

// hh:mm or hh:mm:ss
bool IsTime(std::string_view s) {
  if (s.size() != 5 && s.size() != 8) return false;
  for (size_t i = 0; i < s.size(); ++i)
    if ((i % 3 == 2) != (s[i] == ':') || (i % 3 != 2 && !AllDigits(s.substr(i, 1)))) return false;
  return true;
}

// Blank-separated tokens of a line.
struct FromLineReader {
  std::string_view rest;
  void Blanks() {
    size_t n = rest.find_first_not_of(" \t");
    rest.remove_prefix(n == std::string_view::npos ? rest.size() : n);
  }
  std::string_view Token() {
    Blanks();
    size_t n = std::min(rest.find_first_of(" \t"), rest.size());
    std::string_view token = rest.substr(0, n);
    rest.remove_prefix(n);
    return token;
  }
};

}  // namespace

const char* MailboxKindName(MailboxKind kind) { return kind == MailboxKind::kPine ? "Pine" : "Netscape"; }

const char* MailboxFileName(MailboxKind kind) { return kind == MailboxKind::kPine ? "pine.fol" : "netscape.fol"; }

bool IsSeparatorLine(std::string_view line, MailboxKind kind) {
  if (kind == MailboxKind::kNetscape) return line.substr(0, 7) == "From - ";
  return IsFromLine(line);
}

bool IsFromLine(std::string_view line) {
  if (!line.starts_with("From ")) return false;
  FromLineReader reader{line.substr(5)};
  reader.Blanks();
  if (reader.Token().empty()) return false;
  reader.Blanks();
  std::string_view day_name = reader.Token(), month = reader.Token();
  if (!OneOf(day_name, kDayNames) || !OneOf(month, kMonthNames)) return false;
  std::string_view day = reader.Token();
  if (day.empty() || day.size() > 2 || !AllDigits(day) || !IsTime(reader.Token())) return false;
  // The year may follow a zone ("PST", "+0100") or come before one.
  for (std::string_view token; !(token = reader.Token()).empty();)
    if (token.size() == 4 && AllDigits(token)) return true;
  return false;
}

bool NeedsFromQuote(std::string_view line) { return FromAfterQuotes(line, 0); }

bool IsQuotedFrom(std::string_view line) { return FromAfterQuotes(line, 1); }

std::string SeparatorLine(MailboxKind kind, std::time_t when) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::tm t{};
  localtime_r(&when, &t);
  char date[64];
  std::snprintf(date, sizeof date, "%s %s %02d %02d:%02d:%02d %04d", kDays[t.tm_wday % 7], kMonths[t.tm_mon % 12],
                t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, t.tm_year + 1900);
  return std::string(kind == MailboxKind::kPine ? "From unknown@unknown " : "From - ") + date;
}

}  // namespace corvelle
