#pragma once
// LineChannel: one client connection that speaks in lines, over a Transport. It connects
// (host name, dotted IPv4 or IPv6 address; every address is tried in turn; with implicit
// TLS when asked), writes text, reads CR LF lines and multi-line replies, and closes. The
// POP3 retriever and the SMTP sender each own one.
//
// Every wait (connect, write, read) polls in short slices and lets the interface process
// its events between them, so Cancel buttons work while a server is silent. The watchdog
// ends a connect or a write that makes no progress for `Timeout` seconds, and a read of a
// line (or of a whole reply) that is not complete within `Timeout` seconds, however many
// bytes trickle in meanwhile; Cancel() ends the wait in progress at once.
//
// Failures are told to the error handler when there is one, otherwise in a "WINSOCK ERROR"
// box with the Windows Sockets number and its text. The channel never ends the program.

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "net/sockets/channel_error.h"
#include "net/sockets/transport.h"

namespace corvelle {

class TlsTransport;
struct Settings;
class UserInterface;

class LineChannel {
 public:
  // A failure the channel does not show itself: what failed, and the text the user may see.
  using ErrorHandler = std::function<void(const ChannelError& error, const std::string& text)>;

  // `transport` null: TCP. A server certificate the user trusts is kept in `choices`.
  LineChannel(UserInterface& ui, Settings& choices, std::unique_ptr<Transport> transport);
  ~LineChannel();
  LineChannel(const LineChannel&) = delete;
  LineChannel& operator=(const LineChannel&) = delete;

  // Seconds without progress before a wait is given up; 0 or less: never.
  int Timeout = 30;
  void SetErrorHandler(ErrorHandler handler) { on_error_ = std::move(handler); }

  // Connects to `host`:`port` (a number or a service name), shaking hands first with `tls`
  // (the server's certificate is checked, see tls_transport.h). An empty port or host, or a
  // host that cannot be resolved, shows a "WINSOCK ERROR" box; a refused or failed
  // connection is reported (step "SConnect", or "SConnect (socket)" when no socket could be
  // made). False in all those cases, with no connection open.
  bool Connect(const std::string& host, const std::string& port, bool tls);
  // Sends what is still buffered and closes the connection. Without one it reports 10038
  // (step "Disconnect (closesocket)").
  void Close();
  // The user's Cancel: ends the wait in progress, if any, and counts (CancelCount). Nothing
  // is reported: a cancel is not an error.
  void Cancel();
  // Turns the running connection into a TLS one, after the server agreed (STLS, STARTTLS).
  // The handshake runs under the watchdog and Cancel. False when it failed (the reason has
  // been shown, unless it was a time-out or a Cancel): the connection is then closed.
  bool StartTls();
  // True while the connection runs over TLS.
  bool Secured() const;
  bool IsOpen() const { return transport_->IsOpen(); }

  // Writes all of `s`. The text is buffered and goes out before the next read, at Flush, at
  // Close, or once 16 KiB are waiting: the bytes on the wire are the same, and a message's
  // lines travel in few packets. A failure is reported (step "SetText (Send)").
  void Write(const std::string& s);
  // Sends the buffered text now. False when it could not be sent (already reported).
  bool Flush();

  // Reads one line into `s`: the bytes up to LF, less a CR right before it, at most 255 bytes
  // (the rest of a longer line comes with the next call). Returns the bytes taken from the
  // stream, terminator included ("+OK" CR LF gives 5); 0 with `s` empty when the read
  // failed (see LastReadError). The line must be complete within Timeout seconds.
  int ReadLine(std::string& s);
  // Reads a line of any length in pieces of at most `limit` bytes (>= 2). `s` gets the
  // bytes without LF and without the CR before it; `complete` tells whether the LF ended this
  // piece (false: the line goes on in the next call). A piece never ends between a CR and
  // its LF. Returns the bytes taken, 0 when the read failed.
  long ReadLongLine(std::string& s, bool& complete, size_t limit = kLongLinePiece);
  // Reads a whole line; `s` keeps its first `keep` bytes (CR LF dropped as above) and the
  // rest of it is read and dropped. False when the read failed, when the line is not
  // complete within Timeout seconds, and for a line of more than 16 MiB (kTooLong).
  bool ReadWholeLine(std::string& s, size_t keep = kLongLinePiece);
  // Reads a reply of one or more lines (continuation lines have "-" in the fourth place, and
  // empty lines are skipped over), joined with CR LF. Lines are read whole (cut at 64 KiB).
  // False when a read failed, the reply exceeds 1,000 lines, or it is not complete within
  // Timeout seconds.
  bool ReadReply(std::string& s);

  // Why the last read failed; kNone after a successful read. A read given up by Cancel
  // while the connection stays open takes nothing from the stream: the next read starts
  // with the same bytes, so the caller may carry on where it was. (A multi-line reply keeps
  // only its unfinished line.)
  ChannelError LastReadError() const { return ChannelError::FromCode(last_read_error_); }
  // How many times Cancel was called: a loop that reads without waiting sees a Cancel that way.
  int CancelCount() const { return cancel_count_; }

  // The local address of the connection in numeric form ("127.0.0.1", "::1"); "" if none.
  std::string LocalAddress() const { return transport_->LocalAddress(); }

  static constexpr size_t kLongLinePiece = 1 << 20;

 private:
  using Clock = std::chrono::steady_clock;

  // One deadline for a whole line or reply, however many waits it takes, so a server that
  // drips its bytes cannot hold a read longer than the watchdog allows. Reads nest (a reply
  // reads lines, a line reads pieces): the outermost sets the deadline.
  class ReadDeadline {
   public:
    explicit ReadDeadline(LineChannel& channel);
    ~ReadDeadline();
    ReadDeadline(const ReadDeadline&) = delete;
    ReadDeadline& operator=(const ReadDeadline&) = delete;

   private:
    LineChannel& channel_;
  };

  // Runs `attempt(milliseconds)` until it returns non-zero, processing events between slices.
  // Returns the attempt's result, or -10060 (watchdog) / -10004 (cancelled or closed meanwhile).
  // A wait of a read runs against the read's deadline; any other wait gets its own.
  int WaitFor(const std::function<int(int)>& attempt, bool reading = false);
  int WaitForConnect();
  void Report(const std::string& step, int code);
  void ReportTimeout();
  bool FillInput();
  void ConnectFailed(int code);
  void CloseConnection();
  void DropTls();
  // True when the last read was given up by a Cancel and the connection stands.
  bool Resumable() const;
  // Puts `bytes` back in front of what is still to be read.
  void Unread(const std::string& bytes);

  UserInterface& ui_;
  Settings& choices_;
  ErrorHandler on_error_;
  std::string host_, port_;
  std::unique_ptr<Transport> plain_;
  std::unique_ptr<TlsTransport> tls_;
  Transport* transport_ = nullptr;  // tls_ while there is one, else plain_
  std::string input_;
  size_t input_pos_ = 0;
  bool end_of_stream_ = false;
  std::string output_;
  int last_read_error_ = 0;
  int waiting_ = 0;
  bool cancel_wait_ = false;
  int cancel_count_ = 0;
  bool timer_running_ = false;
  Clock::time_point deadline_{};
  int reads_ = 0;  // ReadDeadline scopes open
  bool read_timed_ = false;
  Clock::time_point read_deadline_{};
};

}  // namespace corvelle
