#pragma once
// SMTP replies as text. A reply is one or more lines, each a three-digit code followed by
// "-" (more lines follow) or " " (or nothing) on the last line:
//
//   reply     = *( code "-" text CRLF ) code [ " " text ]
//   code      = 3DIGIT
//
// The socket component reads a reply whole and joins its lines with CR LF; these functions
// take that text. Nothing here touches a connection.

#include <string>
#include <string_view>
#include <vector>

namespace corvelle {

struct SmtpReply {
  int code = -1;                   // the code of the first line; -1 when it does not start with 3 digits
  std::vector<std::string> text;   // each line's text after the code and its separator (all of a
                                   // line that has no code)
  bool well_formed = false;        // every line has the first line's code, "-" on all but the last
};

// Splits a reply joined with CR LF. Any bytes are accepted; a malformed reply comes back with
// well_formed false (and code -1 when its first line has no code).
SmtpReply ParseSmtpReply(std::string_view reply);

// True when the reply's first three characters are exactly `code` ("250"): the one test the
// sender applies to every reply.
bool ReplyAccepted(std::string_view reply, std::string_view code);

}  // namespace corvelle
