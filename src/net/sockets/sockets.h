#pragma once
// TSockets: one TCP client connection. It resolves a host (name, dotted IPv4 or IPv6
// address; every address is tried in turn), connects, writes text, reads CR LF lines and
// multi-line replies, closes, and turns every WinSock error code into a text. The POP3
// retriever and the SMTP sender derive from it.
//
// Blocking mode (NonBlocking false, what the mail components use): every wait (connect,
// write, read) polls in short slices and processes pending interface events between them
// (Ui().ProcessEvents()), so Cancel buttons work while a server is silent. The watchdog ends
// a connect or a write that makes no progress for `Timeout` seconds, and a read of a line
// (or of a whole reply) that is not complete within `Timeout` seconds, however many bytes
// trickle in meanwhile; CancelListen() ends the wait in progress at once.
//
// Asynchronous mode (NonBlocking true, the default): SConnect returns at once, and the
// installed SocketNotifier delivers OnSessionConnected, OnDataNeeded, OnDataAvailable and
// OnSessionClosed from the event loop; errors arrive through OnErrorOccurred.
//
// Errors go through ReportError: to OnErrorOccurred when it is assigned, otherwise to a
// message box through the interface seam. The socket layer never ends the program.

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "net/sockets/transport.h"

namespace corvelle {

class TSockets;
class TlsTransport;

// The component's events. The sender is the component.
using TDataAvailable = std::function<void(TSockets& sender, int socket)>;
using TDataNeeded = std::function<void(TSockets& sender, int socket)>;
using TSessionClosed = std::function<void(TSockets& sender, int socket)>;
using TSessionAvailable = std::function<void(TSockets& sender, int socket)>;
using TSessionConnected = std::function<void(TSockets& sender, int socket)>;
using TErrorOccurred = std::function<void(TSockets& sender, int socket, int error, const std::string& msg)>;

// Socket notification codes (the event numbers of the asynchronous mode).
enum SocketEventCode { FD_READ = 1, FD_WRITE = 2, FD_ACCEPT = 8, FD_CONNECT = 16, FD_CLOSE = 32 };

class TSockets {
 public:
  TSockets();
  virtual ~TSockets();
  TSockets(const TSockets&) = delete;
  TSockets& operator=(const TSockets&) = delete;

  // Published properties.
  std::string Port;    // a decimal port number or a service name
  std::string IPAddr;  // a host name, a dotted IPv4 or an IPv6 address
  int Socket = -1;     // the connection (its descriptor), -1 when there is none
  int ListenSocket = -1;  // never opened by this program
  int Timeout = 30;    // seconds without progress before a wait is given up; 0 or less: never
  int MaximumReceiveLength = 8192;  // kept for the forms; no operation consults it
  // Implicit TLS: SConnect shakes hands right after connecting and checks the server's
  // certificate (see tls_transport.h); a failure is shown and leaves Socket at -1.
  bool UseTls = false;
  bool NonBlocking() const { return non_blocking_ == 1; }
  void SetNonBlocking(bool value) { non_blocking_ = value ? 1 : 0; }

  TDataNeeded OnDataNeeded;
  TSessionClosed OnSessionClosed;
  TSessionAvailable OnSessionAvailable;
  TSessionConnected OnSessionConnected;
  TDataAvailable OnDataAvailable;
  TErrorOccurred OnErrorOccurred;

  // Connects to IPAddr:Port. Success: Socket is not -1. An empty Port or IPAddr, or a host
  // that cannot be resolved, shows a "WINSOCK ERROR" box and creates no socket; a refused or
  // failed connection is reported (name "SConnect", or "SConnect (socket)" when no socket
  // could be made) and leaves Socket at -1.
  void SConnect();
  // Sends what is still buffered, closes the connection and sets Socket to -1. Without a
  // connection it reports 10038 (name "Disconnect (closesocket)").
  void Disconnect();
  // Closes the listening socket, which this program never opens, so it always reports
  // 10038 (name "CancelListen (closesocket)"); it also ends the wait in progress, if any.
  void CancelListen();
  // The user's Cancel: ends the wait in progress, if any, and counts as a Cancel
  // (CancelCount), without reporting anything: a cancel is not an error.
  void Cancel();
  // Turns the running connection into a TLS one, after the server agreed (STLS, STARTTLS).
  // The handshake runs under the watchdog and Cancel. False when it failed (the reason has
  // been shown, unless it was a time-out or a Cancel): the connection is then closed.
  bool StartTls();
  // True while the connection runs over TLS.
  bool Secured() const { return tls_ != nullptr && transport_->IsOpen(); }

  // Writes all of `s`. In blocking mode the text is buffered and goes out before the next
  // read, at Flush, at Disconnect, or once 16 KiB are waiting: the bytes on the wire are
  // the same, and a message's lines travel in few packets. A failure is reported with the
  // name "SetText (Send)".
  void SetText(const std::string& s);
  // Sends the buffered text now. False when it could not be sent (already reported).
  bool Flush();

  // Reads one line into `s`: the bytes up to LF, less a CR right before it, at most 255 bytes
  // (the rest of a longer line comes with the next call). Returns the bytes taken from the
  // stream, terminator included ("+OK" CR LF gives 5); 0 with `s` empty when the read
  // failed (peer closed, reset, timed out or cancelled: see LastReceiveError). The line must
  // be complete within Timeout seconds of the call.
  // `socket` must be this component's Socket.
  int ReceiveLine(int socket, std::string& s);
  int ReceiveLine(std::string& s) { return ReceiveLine(Socket, s); }

  // Reads a line of any length in pieces of at most `limit` bytes (>= 2). `s` gets the
  // bytes without LF and without the CR before it; `complete` tells whether the LF ended this
  // piece (false: the line goes on in the next call). A piece never ends between a CR and
  // its LF. Returns the bytes taken, 0 when the read failed. Each piece must be complete
  // within Timeout seconds of the call.
  long ReceiveLongLine(std::string& s, bool& complete, size_t limit = kLongLinePiece);

  // Reads a whole line; `s` keeps its first `keep` bytes (CR LF dropped as above) and the
  // rest of it is read and dropped. False when the read failed, when the line is not
  // complete within Timeout seconds, and for a line of more than 16 MiB, which no reply has
  // (LastReceiveError 10040).
  bool ReceiveWholeLine(std::string& s, size_t keep = kLongLinePiece);

  // Reads a reply of one or more lines (continuation lines have "-" in the fourth place, and
  // empty lines are skipped over), joined with CR LF. Lines are read whole (a reply line is
  // cut at 64 KiB). False when a read failed, the reply exceeds 1,000 lines, or it is not
  // complete within Timeout seconds.
  bool ReceiveReply(int socket, std::string& s);

  // The local address of the connection in numeric form ("127.0.0.1", "::1"); "" if none.
  std::string LocalAddress(int socket) const;

  // Reports error `code` of the step `name`: OnErrorOccurred(socket, code, ErrorText(code))
  // when assigned; otherwise the box "Error <code> in function <name>" CR LF <text> with the
  // caption "WINSOCK ERROR" (cut to 255 characters). Either way the caller goes on.
  void ReportError(int socket, const std::string& name, int code);
  // The text of a WinSock code; "Not a WinSock error" for any other number.
  static std::string ErrorText(int code);

  // The watchdog: a connect or write that makes no progress for Timeout seconds, or a line
  // or reply read that is not complete within Timeout seconds, is given up and reported
  // (10060, "Blocking call timed out"). Every wait runs it; these start and stop it by hand.
  void StartTimeout();
  void StopTimeout();

  // A socket notification, as the asynchronous mode delivers it: an error code above 10000
  // is reported with the event's name ("FD_READ", ...); otherwise the event's handler runs.
  void SocketNotification(int socket, int event, int error);

  // Why the last read failed: 10054 peer closed or reset, 10060 timed out, 10004 given up
  // by CancelListen, 10038 no connection; 0 after a successful read. A line read given up
  // by CancelListen while the connection stays open takes nothing from the stream: the next
  // read starts with the same bytes, so the caller may carry on where it was. (A multi-line
  // reply keeps only its unfinished line.)
  int LastReceiveError() const { return last_receive_error_; }
  // How many times CancelListen was called: a loop that reads without waiting can see a
  // Cancel button that way.
  int CancelCount() const { return cancel_count_; }
  // True while a connection is open.
  bool IsConnected() const { return transport_->IsOpen(); }

  // Replaces the byte stream (closing any connection); tests pass a fake one.
  void SetTransport(std::unique_ptr<Transport> transport);

  static constexpr size_t kLongLinePiece = 1 << 20;

 private:
  enum class WaitEnd { kReady, kTimedOut, kCancelled };
  using Clock = std::chrono::steady_clock;

  // One deadline for a whole line or reply, however many waits it takes, so a server that
  // drips its bytes cannot hold a read longer than the watchdog allows. Reads nest (a reply
  // reads lines, a line reads pieces): the outermost sets the deadline.
  class ReadDeadline {
   public:
    explicit ReadDeadline(TSockets& sockets);
    ~ReadDeadline();
    ReadDeadline(const ReadDeadline&) = delete;
    ReadDeadline& operator=(const ReadDeadline&) = delete;

   private:
    TSockets& sockets_;
  };

  // Runs `attempt(milliseconds)` until it returns non-zero, processing events between slices.
  // Returns the attempt's result, or -10060 (watchdog) / -10004 (cancelled or closed meanwhile).
  // A wait of a read runs against the read's deadline; any other wait gets its own.
  int WaitFor(const std::function<int(int)>& attempt, bool reading = false);
  void Watchdog();
  bool FillInput();
  void ConnectBlocking(int code);
  void ConnectAsynchronous(int code);
  void OnReady(bool readable, bool writable);
  void WatchForReading();
  void StopWatching();
  // Closes what a failed connect left and reports `code` (none when 0).
  void ConnectFailed(int code);
  // Closes the transport and forgets everything buffered for the connection.
  void CloseConnection();
  // True when the last read was given up by a Cancel and the connection stands.
  bool Resumable() const;
  // Puts `bytes` back in front of what is still to be read.
  void Unread(const std::string& bytes);

  // Closes the TLS layer, if any, and goes back to the plain stream.
  void DropTls();

  std::unique_ptr<Transport> plain_;
  std::unique_ptr<TlsTransport> tls_;
  Transport* transport_ = nullptr;  // tls_ while there is one, else plain_
  int non_blocking_ = 1;
  std::string input_;
  size_t input_pos_ = 0;
  bool end_of_stream_ = false;
  std::string output_;
  int last_receive_error_ = 0;
  int waiting_ = 0;
  bool cancel_wait_ = false;
  int cancel_count_ = 0;
  bool timer_running_ = false;
  Clock::time_point deadline_{};
  int reads_ = 0;  // ReadDeadline scopes open
  bool read_timed_ = false;
  Clock::time_point read_deadline_{};
  bool connecting_ = false;
  int watched_ = -1;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace corvelle
