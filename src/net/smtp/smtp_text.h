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

// Calls `emit(piece)` for each line that one line of a message file makes on the wire: a bare
// CR inside it ends a line there too (only CR LF may end a line on the wire), and a CR alone
// at its end is just the line end.
template <typename Emit>
void ForEachWireLine(std::string_view line, Emit&& emit) {
  size_t start = 0;
  for (;;) {
    size_t cr = line.find('\r', start);
    emit(line.substr(start, cr == std::string_view::npos ? std::string_view::npos : cr - start));
    if (cr == std::string_view::npos || cr + 1 == line.size()) return;
    start = cr + 1;
  }
}

// ForEachWireLine, and every piece that starts with "." gets one more "." in front, so that
// no line of the text can end the data early (RFC 5321 4.5.2): the server takes the extra dot
// off again.
template <typename Emit>
void ForEachDataLine(std::string_view line, Emit&& emit) {
  ForEachWireLine(line, [&emit](std::string_view piece) {
    if (piece.empty() || piece[0] != '.') {
      emit(piece);
      return;
    }
    std::string stuffed;
    stuffed.reserve(piece.size() + 1);
    stuffed += '.';
    stuffed += piece;
    emit(std::string_view(stuffed));
  });
}

// The length of the longest line of `text`, lines ending at CR LF, LF or a bare CR. The dot
// that stuffing adds on the wire does not count toward the limit (RFC 5321 4.5.3.1.6), nor
// does CR LF.
size_t LongestDataLine(std::string_view text);

// The size of `text` as the server receives it, each line ended by CR LF, before dot
// stuffing: the size that "mail from" declares with SIZE= (RFC 1870 2).
size_t WireSize(std::string_view text);

}  // namespace corvelle
