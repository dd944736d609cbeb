#pragma once
// Why a step of a line channel failed, and the texts of the Windows Sockets numbers that
// the user is shown.

#include <string>

namespace corvelle {

// A line longer than any reply may be (16 MiB).
inline constexpr int kMessageTooLong = 10040;

// Why a step of the channel failed. `code` is the Windows Sockets number, kept for the
// text the user is shown (WinsockErrorText).
struct ChannelError {
  enum class Kind { kNone, kNotConnected, kClosed, kTimedOut, kCancelled, kTooLong, kFailed };
  Kind kind = Kind::kNone;
  int code = 0;

  static ChannelError FromCode(int code);
  bool operator==(Kind other) const { return kind == other; }
};

// The text of a Windows Sockets number; "Not a WinSock error" for any other number.
std::string WinsockErrorText(int code);

}  // namespace corvelle
