#include "core/mailbox/mbox_format.h"

#include <cstdio>

namespace corvelle {
namespace {

bool FromAfterQuotes(std::string_view line, size_t min_quotes) {
  size_t quotes = line.find_first_not_of('>');
  if (quotes == std::string_view::npos || quotes < min_quotes) return false;
  return line.substr(quotes, 5) == "From ";
}

}  // namespace

const char* MailboxKindName(MailboxKind kind) { return kind == MailboxKind::kPine ? "Pine" : "Netscape"; }

const char* MailboxFileName(MailboxKind kind) { return kind == MailboxKind::kPine ? "pine.fol" : "netscape.fol"; }

bool IsSeparatorLine(std::string_view line, MailboxKind kind) {
  if (kind == MailboxKind::kNetscape) return line.substr(0, 7) == "From - ";
  return line.substr(0, 5) == "From " && line.substr(5, 255).find('@') != std::string_view::npos;
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
