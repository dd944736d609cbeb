#pragma once
// POP3 replies (RFC 1939), read apart from the session that receives them.
//
//   reply      = status [SP text] CRLF      status = "+OK" / "-ERR"
//   stat-reply = "+OK" SP count SP size
//   retr-reply = "+OK" [SP text]            text often "512 octets" or "message follows (512 octets)"
//   multi-line = *(line CRLF) "." CRLF      a line starting with "." is sent with one more "."

#include <string>
#include <string_view>

namespace corvelle {

// True when the reply's first three characters are exactly "+OK" (letter case counts).
bool IsPositiveReply(std::string_view reply);

// The message count of a STAT reply: the characters from the fifth up to the first space
// after them (only the 20 characters from the fifth are searched for it), as a number.
// -1 when that is not a number, which includes a reply with no size after the count:
// "+OK 3 12345" gives 3, "+OK 3" gives -1.
int StatCount(std::string_view reply);

// The size a RETR reply announces. `text` is the reply after its first space; `size` is the
// number before the first space of `text`, or, when that is not a number (or 0) and `text`
// holds "octets", the run of digits that ends two characters before "octets". 0 when none
// can be read, and for a negative number.
//   "+OK 512 octets" -> 512; "+OK message follows (1234 octets)" -> 1234;
//   "+OK 512" -> 0; "+OK" -> 0.
struct RetrSize {
  long size = 0;
  std::string text;
};
RetrSize RetrReplySize(std::string_view reply);

// For the lines of a multi-line reply (without their line end): true for the line that
// ends the reply, a lone ".".
inline bool IsEndOfReply(std::string_view line) { return line == "."; }

// One line of a UIDL listing:  uidl-line = msg-number SP unique-id,  where the id is 1 to 70
// characters from 0x21 to 0x7E. False for anything else (a number out of 1..INT_MAX, a
// second space, a control or 8-bit byte, an id too long).
bool ParseUidlLine(std::string_view line, int& number, std::string& id);

// True when the CAPA listing line names the capability `name` (its first word, letter case
// ignored): "PIPELINING", "UIDL".
bool CapabilityLineNames(std::string_view line, std::string_view name);

// Undoes the byte-stuffing of a line's start: a line that begins with "." loses that ".".
void UnstuffLine(std::string& line);

}  // namespace corvelle
