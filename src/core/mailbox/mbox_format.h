#pragma once
// The "From "-separated mailbox layout shared by import and export. Body lines that the
// import would take for a separator are quoted on export with one more ">" (any line
// matching ^>*"From "), and the import takes one ">" away from lines matching ^>+"From ",
// so a folder exported and imported again comes back byte for byte.

#include <ctime>
#include <string>
#include <string_view>

namespace corvelle {

enum class MailboxKind { kPine = 0, kNetscape = 1 };

// "Pine" or "Netscape".
const char* MailboxKindName(MailboxKind kind);

// A separator line (without its line end): Pine, a From_ line (IsFromLine); Netscape,
// "From - ".
bool IsSeparatorLine(std::string_view line, MailboxKind kind);

// A From_ line, as mailbox writers put before each message:
//   "From " sender blanks day-name month-name day time [zone...] year [zone...]
// the sender one token without blanks (an address, "MAILER-DAEMON", "-"), the names English
// and three letters, the day one or two digits, the time hh:mm or hh:mm:ss, the year four
// digits.
bool IsFromLine(std::string_view line);

// True for a line matching ^>*"From " (export adds one ">").
bool NeedsFromQuote(std::string_view line);
// True for a line matching ^>+"From " (import removes one ">").
bool IsQuotedFrom(std::string_view line);

// "From unknown@unknown " or "From - ", followed by `when` as "Sun Dec 06 21:14:25 2026"
// (English names, day with two digits), without a line end.
std::string SeparatorLine(MailboxKind kind, std::time_t when);

// The name of a folder's mailbox file: "pine.fol" or "netscape.fol".
const char* MailboxFileName(MailboxKind kind);

}  // namespace corvelle
