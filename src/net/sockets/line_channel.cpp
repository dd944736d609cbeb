#include "net/sockets/line_channel.h"

#include <algorithm>
#include <cstring>

#include "core/user_interface.h"
#include "net/sockets/tcp_transport.h"
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

void WinsockBox(UserInterface& ui, const std::string& text) {
  ui.Message(text, "WINSOCK ERROR", Buttons::OkCancel, MessageIcon::Error);
}

}  // namespace

LineChannel::LineChannel(UserInterface& ui, Settings& choices, std::unique_ptr<Transport> transport)
    : ui_(ui), choices_(choices), plain_(transport ? std::move(transport) : std::make_unique<TcpTransport>()), transport_(plain_.get()) {}

LineChannel::~LineChannel() {
  DropTls();
  transport_->Close();
}

bool LineChannel::Secured() const { return tls_ != nullptr && transport_->IsOpen(); }

void LineChannel::DropTls() {
  if (!tls_) return;
  tls_->Close();
  transport_ = plain_.get();
  tls_.reset();
}

void LineChannel::CloseConnection() {
  DropTls();
  transport_->Close();
  input_.clear();
  input_pos_ = 0;
  output_.clear();
  end_of_stream_ = false;
}

void LineChannel::Report(const std::string& step, int code) {
  std::string text = WinsockErrorText(code);
  if (on_error_) {
    on_error_(ChannelError::FromCode(code), text);
    return;
  }
  std::string message = "Error " + std::to_string(code) + " in function " + step + "\r\n" + text;
  if (message.size() > 255) message.resize(255);
  WinsockBox(ui_, message);
}

void LineChannel::ReportTimeout() {
  const std::string text = "Blocking call timed out";
  if (on_error_)
    on_error_(ChannelError::FromCode(wsa::kTimedOut), text);
  else
    ui_.Message("Error " + std::to_string(wsa::kTimedOut) + "\r\n" + text, "WINSOCK CALL CANCELED", Buttons::OkCancel,
                MessageIcon::Error);
}

LineChannel::ReadDeadline::ReadDeadline(LineChannel& channel) : channel_(channel) {
  if (channel_.reads_++ > 0) return;
  channel_.read_timed_ = channel_.Timeout > 0;
  if (channel_.read_timed_) channel_.read_deadline_ = Clock::now() + std::chrono::seconds(channel_.Timeout);
}

LineChannel::ReadDeadline::~ReadDeadline() { --channel_.reads_; }

int LineChannel::WaitFor(const std::function<int(int)>& attempt, bool reading) {
  int result = attempt(0);
  if (result != 0) return result;
  ++waiting_;
  cancel_wait_ = false;
  if (reading && reads_ > 0) {
    timer_running_ = read_timed_;
    deadline_ = read_deadline_;
  } else {
    timer_running_ = Timeout > 0;
    if (timer_running_) deadline_ = Clock::now() + std::chrono::seconds(Timeout);
  }
  for (;;) {
    // Checked before each slice, not only after an empty one: bytes that keep trickling in
    // do not move the deadline.
    if (timer_running_ && Clock::now() >= deadline_) {
      result = -wsa::kTimedOut;
      break;
    }
    int slice = kSliceMilliseconds;
    if (timer_running_) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now()).count();
      slice = static_cast<int>(std::clamp<long long>(left, 0, kSliceMilliseconds));
    }
    result = attempt(slice);
    if (result != 0) break;
    ui_.ProcessEvents();
    if (cancel_wait_ || !transport_->IsOpen()) {
      result = -wsa::kInterrupted;
      break;
    }
  }
  --waiting_;
  cancel_wait_ = false;
  timer_running_ = false;
  if (result == -wsa::kTimedOut) ReportTimeout();
  return result;
}

int LineChannel::WaitForConnect() {
  return WaitFor([this](int milliseconds) {
    int state = transport_->ContinueConnect(milliseconds);
    if (state == 0) return 1;
    return state == wsa::kInProgress ? 0 : -state;
  });
}

bool LineChannel::Connect(const std::string& host, const std::string& port, bool tls) {
  if (port.empty()) {
    WinsockBox(ui_, "No Port Specified");
    return false;
  }
  if (host.empty()) {
    WinsockBox(ui_, "No IP Address Specified");
    return false;
  }
  // A second connect replaces the first connection rather than leaking it.
  CloseConnection();
  host_ = host;
  port_ = port;
  if (tls) {
    tls_ = std::make_unique<TlsTransport>(*plain_, false, host, port, ui_, choices_);
    transport_ = tls_.get();
  }
  int code = transport_->BeginConnect(host, port);
  if (IsResolverError(code)) {
    WinsockBox(ui_, "Cannot convert host address");
    return false;
  }
  if (code == 0) {
    int result = WaitForConnect();
    code = result > 0 ? 0 : -result;
  }
  if (code == 0) return true;
  // The watchdog has reported a time-out already, and a cancelled connect is the user's wish.
  // A secure channel's failure has been shown by the channel itself.
  bool reported = code == wsa::kTimedOut || code == wsa::kInterrupted || code == kSecureChannelFailed;
  ConnectFailed(reported ? 0 : code);
  return false;
}

void LineChannel::ConnectFailed(int code) {
  const char* step = transport_->SocketFailed() ? "SConnect (socket)" : "SConnect";
  if (code != 0) Report(step, code);
  DropTls();
  transport_->Close();
}

void LineChannel::Close() {
  if (!transport_->IsOpen()) {
    Report("Disconnect (closesocket)", wsa::kNotSocket);
    return;
  }
  if (!output_.empty()) Flush();
  if (waiting_ > 0) cancel_wait_ = true;
  CloseConnection();
}

void LineChannel::Cancel() {
  // A wait in progress ends now rather than at its time-out.
  if (waiting_ > 0) cancel_wait_ = true;
  ++cancel_count_;
}

bool LineChannel::StartTls() {
  if (!transport_->IsOpen() || tls_) return false;
  if (input_pos_ < input_.size()) {
    // Bytes sent after the server's consent and before the handshake could come from anyone
    // on the way: nothing read in clear may pass for what the secure channel says.
    ui_.Message("Secure connection to " + host_ + " failed: the server sent data before the handshake.",
                "Secure connection", Buttons::Ok, MessageIcon::Error);
    CloseConnection();
    return false;
  }
  if (!output_.empty() && !Flush()) return false;
  tls_ = std::make_unique<TlsTransport>(*plain_, true, host_, port_, ui_, choices_);
  transport_ = tls_.get();
  if (WaitForConnect() > 0) return true;
  CloseConnection();
  return false;
}

void LineChannel::Write(const std::string& s) {
  if (!transport_->IsOpen()) {
    Report("SetText (Send)", wsa::kNotSocket);
    return;
  }
  output_ += s;
  if (output_.size() >= kOutputLimit) Flush();
}

bool LineChannel::Flush() {
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
      if (result != -wsa::kTimedOut && result != -wsa::kInterrupted) Report("SetText (Send)", -result);
      return false;
    }
    sent += static_cast<size_t>(n);
  }
  output_.clear();
  return true;
}

bool LineChannel::FillInput() {
  if (!output_.empty()) Flush();
  if (input_pos_ == input_.size()) {
    input_.clear();
    input_pos_ = 0;
  }
  if (!transport_->IsOpen()) {
    last_read_error_ = wsa::kNotSocket;
    return false;
  }
  if (end_of_stream_) {
    last_read_error_ = wsa::kConnectionReset;
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
    last_read_error_ = -result;
    return false;
  }
  input_.append(buffer, static_cast<size_t>(got));
  // A server that keeps the data coming never leaves the reads waiting: the interface gets
  // its turn here too (the interface spaces its turns out itself).
  ui_.ProcessEvents();
  return true;
}

int LineChannel::ReadLine(std::string& s) {
  ReadDeadline deadline(*this);
  s.clear();
  last_read_error_ = 0;
  std::string line;
  size_t taken = 0;
  for (;;) {
    if (input_pos_ == input_.size() && !FillInput()) {
      if (Resumable()) Unread(line);
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
      return static_cast<int>(taken);
    }
  }
}

long LineChannel::ReadLongLine(std::string& s, bool& complete, size_t limit) {
  ReadDeadline deadline(*this);
  s.clear();
  complete = false;
  last_read_error_ = 0;
  limit = std::max<size_t>(limit, 2);
  size_t taken = 0;
  for (;;) {
    if (input_pos_ == input_.size() && !FillInput()) {
      if (Resumable()) Unread(s);  // the piece so far: raw, its CR handling comes at the end
      s.clear();
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
    if (lf || full) return static_cast<long>(taken);
  }
}

bool LineChannel::ReadWholeLine(std::string& s, size_t keep) {
  ReadDeadline deadline(*this);
  s.clear();
  std::string piece, raw;  // raw: the earlier pieces of a line longer than one, as received
  bool complete = false;
  size_t taken = 0;
  for (;;) {
    long n = ReadLongLine(piece, complete, std::clamp<size_t>(keep, 2, kLongLinePiece));
    taken += static_cast<size_t>(n);
    if (n == 0 || taken > kWholeLineLimit) {
      if (n != 0) last_read_error_ = kMessageTooLong;
      if (n == 0 && Resumable()) Unread(raw);
      s.clear();
      return false;
    }
    if (s.size() < keep) s.append(piece, 0, keep - s.size());
    if (complete) return true;
    raw += piece;
  }
}

bool LineChannel::ReadReply(std::string& s) {
  ReadDeadline deadline(*this);
  s.clear();
  std::string previous, line;
  for (int pass = 0; pass < kMaxReplyLines; ++pass) {
    if (!s.empty() && !previous.empty()) s += "\r\n";
    bool ok = ReadWholeLine(line, kReplyLineKeep);
    s += line;
    ui_.ProcessEvents();
    if (!ok) return false;
    previous = line;
    bool more = line.empty() || (line.size() >= 4 && line[3] == '-');
    if (!more) return true;
  }
  return false;
}

bool LineChannel::Resumable() const { return last_read_error_ == wsa::kInterrupted && transport_->IsOpen(); }

void LineChannel::Unread(const std::string& bytes) {
  input_.replace(0, input_pos_, bytes);
  input_pos_ = 0;
}

}  // namespace corvelle
