#include "net/sockets/sockets.h"

#include <algorithm>
#include <cstring>

#include "core/user_interface.h"
#include "net/sockets/socket_notifier.h"
#include "net/sockets/tls_transport.h"
#include "platform/tcp_socket.h"

namespace corvelle {
namespace {

constexpr int kSliceMilliseconds = 20;      // how long a wait goes without processing events
constexpr size_t kOutputLimit = 16 * 1024;  // buffered text that is sent without waiting for a read
constexpr size_t kReceiveChunk = 64 * 1024;
constexpr size_t kReplyLineKeep = 64 * 1024;
constexpr int kMaxReplyLines = 1000;
constexpr size_t kWholeLineLimit = 16 << 20;
constexpr int kMessageTooLong = 10040;

SocketNotifier*& Notifier() {
  static SocketNotifier* notifier = nullptr;
  return notifier;
}

}  // namespace

SocketNotifier* InstalledSocketNotifier() { return Notifier(); }
void SetSocketNotifier(SocketNotifier* notifier) { Notifier() = notifier; }

TSockets::TSockets() : plain_(MakeTransport()), transport_(plain_.get()) {}

TSockets::~TSockets() {
  StopWatching();
  DropTls();
  transport_->Close();
}

void TSockets::DropTls() {
  if (!tls_) return;
  tls_->Close();
  transport_ = plain_.get();
  tls_.reset();
}

void TSockets::CloseConnection() {
  StopWatching();
  DropTls();
  transport_->Close();
  Socket = -1;
  input_.clear();
  input_pos_ = 0;
  output_.clear();
  end_of_stream_ = false;
}

void TSockets::SetTransport(std::unique_ptr<Transport> transport) {
  CloseConnection();
  plain_ = std::move(transport);
  transport_ = plain_.get();
}

std::string TSockets::ErrorText(int code) {
  switch (code) {
    case 10004: return "Interrupted system call";
    case 10009: return "Bad file number";
    case 10013: return "Permission denied";
    case 10014: return "Bad address";
    case 10022: return "Invalid argument";
    case 10024: return "Too many open files";
    case 10035: return "Operation would block";
    case 10036: return "Operation now in progress";
    case 10037: return "Operation already in progress";
    case 10038: return "Socket operation on non-socket";
    case 10039: return "Destination address required";
    case 10040: return "Message too long";
    case 10041: return "Protocol wrong type for socket";
    case 10042: return "Protocol not available";
    case 10043: return "Protocol not supported";
    case 10044: return "Socket type not supported";
    case 10045: return "Operation not supported on socket";
    case 10046: return "Protocol family not supported";
    case 10047: return "Address family not supported by protocol family";
    case 10048: return "Address already in use";
    case 10049: return "Can't assign requested address";
    case 10050: return "Network is down";
    case 10051: return "Network is unreachable";
    case 10052: return "Network dropped connection on reset";
    case 10053: return "Software caused connection abort";
    case 10054: return "Connection reset by peer";
    case 10055: return "No buffer space available";
    case 10056: return "Socket is already connected";
    case 10057: return "Socket is not connected";
    case 10058: return "Can't send after socket shutdown";
    case 10059: return "Too many references: can't splice";
    case 10060: return "Connection timed out";
    case 10061: return "Connection refused";
    case 10062: return "Too many levels of symbolic links";
    case 10063: return "File name too long";
    case 10064: return "Host is down";
    case 10065: return "No route to host";
    case 10066: return "Directory not empty";
    case 10067: return "Too many processes";
    case 10068: return "Too many users";
    case 10069: return "Disc quota exceeded";
    case 10070: return "Stale NFS file handle";
    case 10071: return "Too many levels of remote in path";
    case 10091: return "Network sub-system is unusable";
    case 10092: return "WinSock DLL cannot support this application";
    case 10093: return "WinSock not initialized";
    case 11001: return "Host not found";
    case 11002: return "Non-authoritative host not found";
    case 11003: return "Non-recoverable error";
    case 11004: return "No Data";
    case kSecureChannelFailed: return "Secure connection failed";
    default: return "Not a WinSock error";
  }
}

void TSockets::ReportError(int socket, const std::string& name, int code) {
  std::string text = ErrorText(code);
  if (OnErrorOccurred) {
    OnErrorOccurred(*this, socket, code, text);
    return;
  }
  std::string message = "Error " + std::to_string(code) + " in function " + name + "\r\n" + text;
  if (message.size() > 255) message.resize(255);
  Ui().Message(message, "WINSOCK ERROR", Buttons::OkCancel, MessageIcon::Error);
}

void TSockets::StartTimeout() {
  if (Timeout <= 0) return;
  timer_running_ = true;
  deadline_ = Clock::now() + std::chrono::seconds(Timeout);
}

void TSockets::StopTimeout() { timer_running_ = false; }

void TSockets::Watchdog() {
  StopTimeout();
  const std::string text = "Blocking call timed out";
  if (OnErrorOccurred)
    OnErrorOccurred(*this, Socket, wsa::kTimedOut, text);
  else
    Ui().Message("Error " + std::to_string(wsa::kTimedOut) + "\r\n" + text, "WINSOCK CALL CANCELED",
                 Buttons::OkCancel, MessageIcon::Error);
}

TSockets::ReadDeadline::ReadDeadline(TSockets& sockets) : sockets_(sockets) {
  if (sockets_.reads_++ > 0) return;
  sockets_.read_timed_ = sockets_.Timeout > 0;
  if (sockets_.read_timed_) sockets_.read_deadline_ = Clock::now() + std::chrono::seconds(sockets_.Timeout);
}

TSockets::ReadDeadline::~ReadDeadline() { --sockets_.reads_; }

int TSockets::WaitFor(const std::function<int(int)>& attempt, bool reading) {
  int result = attempt(0);
  if (result != 0) return result;
  ++waiting_;
  cancel_wait_ = false;
  if (reading && reads_ > 0) {
    timer_running_ = read_timed_;
    deadline_ = read_deadline_;
  } else {
    StartTimeout();
  }
  for (;;) {
    // Checked before each slice, not only after an empty one: bytes that keep trickling in
    // do not move the deadline.
    if (timer_running_ && Clock::now() >= deadline_) {
      --waiting_;
      cancel_wait_ = false;
      Watchdog();
      return -wsa::kTimedOut;
    }
    int slice = kSliceMilliseconds;
    if (timer_running_) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now()).count();
      slice = static_cast<int>(std::clamp<long long>(left, 0, kSliceMilliseconds));
    }
    result = attempt(slice);
    if (result != 0) break;
    Ui().ProcessEvents();
    if (cancel_wait_ || !transport_->IsOpen()) {
      result = -wsa::kInterrupted;
      break;
    }
  }
  --waiting_;
  cancel_wait_ = false;
  StopTimeout();
  return result;
}

void TSockets::SConnect() {
  if (Port.empty()) {
    Ui().Message("No Port Specified", "WINSOCK ERROR", Buttons::OkCancel, MessageIcon::Error);
    return;
  }
  if (IPAddr.empty()) {
    Ui().Message("No IP Address Specified", "WINSOCK ERROR", Buttons::OkCancel, MessageIcon::Error);
    return;
  }
  // A second connect replaces the first connection rather than leaking it.
  CloseConnection();
  if (UseTls) {
    tls_ = std::make_unique<TlsTransport>(*plain_, false, IPAddr, Port);
    transport_ = tls_.get();
  }
  int code = transport_->BeginConnect(IPAddr, Port);
  if (IsResolverError(code)) {
    Ui().Message("Cannot convert host address", "WINSOCK ERROR", Buttons::OkCancel, MessageIcon::Error);
    return;
  }
  if (NonBlocking())
    ConnectAsynchronous(code);
  else
    ConnectBlocking(code);
}

void TSockets::ConnectBlocking(int code) {
  if (code == 0) {
    int result = WaitFor([this](int milliseconds) {
      int state = transport_->ContinueConnect(milliseconds);
      if (state == 0) return 1;
      return state == wsa::kInProgress ? 0 : -state;
    });
    code = result > 0 ? 0 : -result;
  }
  if (code == 0) {
    Socket = transport_->Handle();
    return;
  }
  // The watchdog has reported a time-out already, and a cancelled connect is the user's wish.
  // A secure channel's failure has been shown by the channel itself.
  bool reported = code == wsa::kTimedOut || code == wsa::kInterrupted || code == kSecureChannelFailed;
  ConnectFailed(reported ? 0 : code);
}

void TSockets::ConnectFailed(int code) {
  const char* name = transport_->SocketFailed() ? "SConnect (socket)" : "SConnect";
  int failed = transport_->Handle();
  if (code != 0) ReportError(failed, name, code);
  StopWatching();
  DropTls();
  transport_->Close();
  Socket = -1;
}

void TSockets::ConnectAsynchronous(int code) {
  if (code != 0) {
    ConnectFailed(code);
    return;
  }
  Socket = transport_->Handle();
  connecting_ = true;
  SocketNotifier* notifier = InstalledSocketNotifier();
  if (!notifier || !transport_->Watchable()) return;
  watched_ = Socket;
  notifier->Watch(watched_, false, true, [this](bool readable, bool writable) { OnReady(readable, writable); });
}

void TSockets::OnReady(bool readable, bool) {
  std::weak_ptr<bool> alive = alive_;
  SocketNotifier* notifier = InstalledSocketNotifier();
  if (!notifier) return;
  if (connecting_) {
    int state = transport_->ContinueConnect(0);
    if (state == wsa::kInProgress) {
      if (transport_->Handle() != watched_) {  // moved on to the next address
        notifier->Unwatch(watched_);
        Socket = watched_ = transport_->Handle();
      }
      bool read = transport_->ConnectWaitsForRead();  // a handshake waits for the server
      notifier->Watch(watched_, read, !read, [this](bool r, bool w) { OnReady(r, w); });
      return;
    }
    connecting_ = false;
    if (state != 0) {
      int failed = Socket;
      StopWatching();
      DropTls();
      transport_->Close();
      Socket = -1;
      if (state != kSecureChannelFailed)
        SocketNotification(failed, FD_CONNECT, state);
      else if (OnErrorOccurred)  // the channel has shown why; the program still hears of it
        OnErrorOccurred(*this, failed, state, ErrorText(state));
      return;
    }
    Socket = transport_->Handle();
    notifier->Watch(watched_, false, false, [this](bool r, bool w) { OnReady(r, w); });
    SocketNotification(Socket, FD_CONNECT, 0);
    if (alive.expired() || !transport_->IsOpen()) return;
    SocketNotification(Socket, FD_WRITE, 0);
    if (alive.expired()) return;
    WatchForReading();
    return;
  }
  if (!readable || waiting_ > 0) return;
  // Like recv-driven notifications: one FD_READ until the program reads again.
  notifier->Watch(watched_, false, false, [this](bool r, bool w) { OnReady(r, w); });
  char buffer[kReceiveChunk];
  int error = 0;
  long n = transport_->Receive(buffer, sizeof buffer, error);
  if (n > 0) {
    if (input_pos_ == input_.size()) {
      input_.clear();
      input_pos_ = 0;
    }
    input_.append(buffer, static_cast<size_t>(n));
    SocketNotification(Socket, FD_READ, 0);
  } else if (n == 0) {
    end_of_stream_ = true;
    StopWatching();
    SocketNotification(Socket, FD_CLOSE, 0);
  } else if (error == wsa::kWouldBlock) {
    WatchForReading();
  } else {
    StopWatching();
    SocketNotification(Socket, FD_CLOSE, error);
  }
}

void TSockets::WatchForReading() {
  SocketNotifier* notifier = InstalledSocketNotifier();
  if (!notifier || !NonBlocking() || connecting_ || watched_ < 0 || !transport_->IsOpen()) return;
  // Bytes waiting in the buffer (or decrypted but not yet taken): say so again.
  if (input_pos_ < input_.size() || transport_->Buffered()) {
    std::weak_ptr<bool> alive = alive_;
    notifier->Post([this, alive] {
      if (alive.expired() || !transport_->IsOpen()) return;
      if (input_pos_ < input_.size())
        SocketNotification(Socket, FD_READ, 0);
      else
        OnReady(true, false);
    });
    return;
  }
  if (end_of_stream_) return;
  notifier->Watch(watched_, true, false, [this](bool r, bool w) { OnReady(r, w); });
}

void TSockets::StopWatching() {
  connecting_ = false;
  if (watched_ < 0) return;
  if (SocketNotifier* notifier = InstalledSocketNotifier()) notifier->Unwatch(watched_);
  watched_ = -1;
}

void TSockets::SocketNotification(int socket, int event, int error) {
  const char* name = "";
  const TSessionConnected* handler = nullptr;
  switch (event) {
    case FD_READ: name = "FD_READ"; handler = &OnDataAvailable; break;
    case FD_WRITE: name = "FD_WRITE"; handler = &OnDataNeeded; break;
    case FD_ACCEPT: name = "FD_ACCEPT"; handler = &OnSessionAvailable; break;
    case FD_CONNECT: name = "FD_CONNECT"; handler = &OnSessionConnected; break;
    case FD_CLOSE: name = "FD_CLOSE"; handler = &OnSessionClosed; break;
    default: break;
  }
  if (error > 10000) {
    ReportError(socket, name, error);
    return;
  }
  if (handler && *handler) (*handler)(*this, socket);
}

void TSockets::Disconnect() {
  if (!transport_->IsOpen()) {
    Socket = -1;
    ReportError(-1, "Disconnect (closesocket)", wsa::kNotSocket);
    return;
  }
  if (!output_.empty()) Flush();
  if (waiting_ > 0) cancel_wait_ = true;
  CloseConnection();
}

void TSockets::Cancel() {
  // A wait in progress ends now rather than at its time-out.
  if (waiting_ > 0) cancel_wait_ = true;
  ++cancel_count_;
}

void TSockets::CancelListen() {
  Cancel();
  int listening = ListenSocket;
  ListenSocket = 0;
  // No listening socket is ever opened, so closing it fails as it would on any non-socket.
  ReportError(listening, "CancelListen (closesocket)", wsa::kNotSocket);
}

bool TSockets::StartTls() {
  if (!transport_->IsOpen() || tls_) return false;
  if (input_pos_ < input_.size()) {
    // Bytes sent after the server's consent and before the handshake could come from anyone
    // on the way: nothing read in clear may pass for what the secure channel says.
    Ui().Message("Secure connection to " + IPAddr + " failed: the server sent data before the handshake.",
                 "Secure connection", Buttons::Ok, MessageIcon::Error);
    CloseConnection();
    return false;
  }
  if (!output_.empty() && !Flush()) return false;
  tls_ = std::make_unique<TlsTransport>(*plain_, true, IPAddr, Port);
  transport_ = tls_.get();
  int result = WaitFor([this](int milliseconds) {
    int state = transport_->ContinueConnect(milliseconds);
    if (state == 0) return 1;
    return state == wsa::kInProgress ? 0 : -state;
  });
  if (result > 0) return true;
  CloseConnection();
  return false;
}

void TSockets::SetText(const std::string& s) {
  if (!transport_->IsOpen()) {
    ReportError(Socket, "SetText (Send)", wsa::kNotSocket);
    return;
  }
  output_ += s;
  if (NonBlocking() || output_.size() >= kOutputLimit) Flush();
}

bool TSockets::Flush() {
  size_t sent = 0;
  while (sent < output_.size()) {
    long n = 0;
    int result = WaitFor([&](int milliseconds) {
      int error = 0;
      n = transport_->Send(output_.data() + sent, output_.size() - sent, error);
      if (n > 0) return 1;
      if (n < 0 && error != wsa::kWouldBlock) return -error;
      if (milliseconds > 0) {
        int ready = transport_->Wait(true, milliseconds);
        if (ready < 0) return ready;
      }
      return 0;
    });
    if (result < 0) {
      output_.clear();
      if (result != -wsa::kTimedOut && result != -wsa::kInterrupted) ReportError(Socket, "SetText (Send)", -result);
      return false;
    }
    sent += static_cast<size_t>(n);
  }
  output_.clear();
  return true;
}

bool TSockets::FillInput() {
  if (!output_.empty()) Flush();
  if (input_pos_ == input_.size()) {
    input_.clear();
    input_pos_ = 0;
  }
  if (!transport_->IsOpen()) {
    last_receive_error_ = wsa::kNotSocket;
    return false;
  }
  if (end_of_stream_) {
    last_receive_error_ = wsa::kConnectionReset;
    return false;
  }
  char buffer[kReceiveChunk];
  long got = 0;
  auto receive = [&]() {
    int error = 0;
    got = transport_->Receive(buffer, sizeof buffer, error);
    if (got > 0) return 1;
    if (got == 0) {
      end_of_stream_ = true;
      return -wsa::kConnectionReset;
    }
    return error == wsa::kWouldBlock ? 0 : -error;
  };
  int result = WaitFor(
      [&](int milliseconds) {
        // The first attempt reads at once; the later ones follow an empty read, so they wait
        // for the socket first rather than ask it again in vain.
        if (milliseconds <= 0) return receive();
        int ready = transport_->Wait(false, milliseconds);
        if (ready < 0) return ready;
        return ready > 0 ? receive() : 0;
      },
      true);
  if (result < 0) {
    last_receive_error_ = -result;
    return false;
  }
  input_.append(buffer, static_cast<size_t>(got));
  return true;
}

int TSockets::ReceiveLine(int, std::string& s) {
  ReadDeadline deadline(*this);
  s.clear();
  last_receive_error_ = 0;
  std::string line;
  size_t taken = 0;
  for (;;) {
    if (input_pos_ == input_.size() && !FillInput()) {
      if (Resumable()) Unread(line);
      WatchForReading();
      return 0;
    }
    const char* begin = input_.data() + input_pos_;
    size_t want = std::min(input_.size() - input_pos_, 255 - taken);
    const void* lf = std::memchr(begin, '\n', want);
    size_t n = lf ? static_cast<size_t>(static_cast<const char*>(lf) - begin) : want;
    line.append(begin, n);
    input_pos_ += lf ? n + 1 : n;
    taken += lf ? n + 1 : n;
    if (lf && !line.empty() && line.back() == '\r') line.pop_back();
    if (lf || taken == 255) {
      s = std::move(line);
      WatchForReading();
      return static_cast<int>(taken);
    }
  }
}

long TSockets::ReceiveLongLine(std::string& s, bool& complete, size_t limit) {
  ReadDeadline deadline(*this);
  s.clear();
  complete = false;
  last_receive_error_ = 0;
  limit = std::max<size_t>(limit, 2);
  size_t taken = 0;
  for (;;) {
    if (input_pos_ == input_.size() && !FillInput()) {
      if (Resumable()) Unread(s);  // the piece so far: raw, its CR handling comes at the end
      s.clear();
      WatchForReading();
      return 0;
    }
    const char* begin = input_.data() + input_pos_;
    size_t want = std::min(input_.size() - input_pos_, limit - taken);
    const void* lf = std::memchr(begin, '\n', want);
    size_t n = lf ? static_cast<size_t>(static_cast<const char*>(lf) - begin) : want;
    s.append(begin, n);
    input_pos_ += lf ? n + 1 : n;
    taken += lf ? n + 1 : n;
    bool full = !lf && taken == limit;
    if (lf) {
      if (!s.empty() && s.back() == '\r') s.pop_back();
      complete = true;
    } else if (full && s.back() == '\r') {
      // Keep a CR for the next piece, where it may turn out to end the line.
      s.pop_back();
      --input_pos_;
      --taken;
    }
    if (lf || full) {
      WatchForReading();
      return static_cast<long>(taken);
    }
  }
}

bool TSockets::ReceiveWholeLine(std::string& s, size_t keep) {
  ReadDeadline deadline(*this);
  s.clear();
  std::string piece, raw;  // raw: the earlier pieces of a line longer than one, as received
  bool complete = false;
  size_t taken = 0;
  for (;;) {
    long n = ReceiveLongLine(piece, complete, std::clamp<size_t>(keep, 2, kLongLinePiece));
    taken += static_cast<size_t>(n);
    if (n == 0 || taken > kWholeLineLimit) {
      if (n != 0) last_receive_error_ = kMessageTooLong;
      if (n == 0 && Resumable()) Unread(raw);
      s.clear();
      return false;
    }
    if (s.size() < keep) s.append(piece, 0, keep - s.size());
    if (complete) return true;
    raw += piece;
  }
}

bool TSockets::ReceiveReply(int, std::string& s) {
  ReadDeadline deadline(*this);
  s.clear();
  std::string previous, line;
  for (int pass = 0; pass < kMaxReplyLines; ++pass) {
    if (!s.empty() && !previous.empty()) s += "\r\n";
    bool ok = ReceiveWholeLine(line, kReplyLineKeep);
    s += line;
    Ui().ProcessEvents();
    if (!ok) return false;
    previous = line;
    bool more = line.empty() || (line.size() >= 4 && line[3] == '-');
    if (!more) return true;
  }
  return false;
}

bool TSockets::Resumable() const { return last_receive_error_ == wsa::kInterrupted && transport_->IsOpen(); }

void TSockets::Unread(const std::string& bytes) {
  input_.replace(0, input_pos_, bytes);
  input_pos_ = 0;
}

std::string TSockets::LocalAddress(int) const { return transport_->LocalAddress(); }

}  // namespace corvelle
