#pragma once
// What the SMTP sender puts on the wire, built from message text and addresses: the HELO
// argument, the envelope paths and the DATA lines. Pure functions, no connection.

#include <cstddef>
#include <string>
#include <string_view>

namespace corvelle {

// The longest text line a server must accept, CR LF not counted (RFC 5321 4.5.3.1.6).
inline constexpr size_t kMaxSmtpLine = 998;

// The HELO argument for the client's own numeric address: "[192.0.2.1]" for IPv4,
// "[IPv6:2001:db8::1]" for IPv6 (a zone "%eth0" dropped; an IPv4-mapped address written as
// IPv4). An empty address gives "localhost".
std::string HeloArgument(std::string_view local_address);

// "<" + address + ">": the path of "mail from:" and "rcpt to:".
std::string SmtpPath(std::string_view address);

// True when the address can go into a command as it is: no control bytes (CR, LF, NUL, ...)
// and no "<" or ">".
bool IsSendableAddress(std::string_view address);

// Calls `emit(line)` for each line that one line of the message puts on the wire, without
// its CR LF. A bare CR inside the line ends a line on the wire too (only CR LF may end a line
// there, and a CR alone at the end is just a line end), and every line that starts with "."
// gets one more "." in front, so that no line of the text can end the data early
// (RFC 5321 4.5.2): the server takes the extra dot off again.
template <typename Emit>
void ForEachDataLine(std::string_view line, Emit&& emit) {
  size_t start = 0;
  for (;;) {
    size_t cr = line.find('\r', start);
    std::string_view piece = line.substr(start, cr == std::string_view::npos ? std::string_view::npos : cr - start);
    if (!piece.empty() && piece[0] == '.') {
      std::string stuffed;
      stuffed.reserve(piece.size() + 1);
      stuffed += '.';
      stuffed += piece;
      emit(std::string_view(stuffed));
    } else {
      emit(piece);
    }
    if (cr == std::string_view::npos || cr + 1 == line.size()) return;
    start = cr + 1;
  }
}

// The longest line (dot-stuffing included, CR LF not) that `text` puts on the wire, with
// lines ending at CR LF, LF or a bare CR.
size_t LongestDataLine(std::string_view text);

}  // namespace corvelle
