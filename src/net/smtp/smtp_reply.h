#pragma once
// SMTP replies as text. A reply is one or more lines, each a three-digit code followed by
// "-" (more lines follow) or " " (or nothing) on the last line:
//
//   reply     = *( code "-" text CRLF ) code [ " " text ]
//   code      = 3DIGIT
//
// The socket component reads a reply whole and joins its lines with CR LF.

#include <string>
#include <string_view>

namespace corvelle {

// True when the reply's first three characters are exactly `code` ("250"): the one test the
// sender applies to every reply.
inline bool ReplyAccepted(std::string_view reply, std::string_view code) {
  return code.size() == 3 && reply.substr(0, 3) == code;
}

// A reply as one line, for a box: its lines joined with spaces.
inline std::string OneLine(std::string text) {
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
  std::string line;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    line += text[i] == '\r' || text[i] == '\n' ? ' ' : text[i];
  }
  return line;
}

}  // namespace corvelle
