#include "net/support/fake_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "net/support/fake_tls.h"
#include "platform/tcp_socket.h"

namespace corvelle::testing {
namespace {

using Clock = std::chrono::steady_clock;

struct DialogueStep {
  enum class Kind { kServer, kClient, kPause, kClose, kStall, kTls };
  Kind kind;
  std::string bytes;     // for S and C: the exact bytes, line end included
  int milliseconds = 0;  // for PAUSE
};
using Kind = DialogueStep::Kind;

std::string Unescape(std::string_view text) {
  static const std::string_view kEscapes("r\rn\nt\t0\0\\\\", 10);  // each letter, then its byte
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    std::string_view rest = text.substr(i);
    size_t at = rest.size() > 1 && rest[0] == '\\' ? kEscapes.find(rest[1]) : std::string_view::npos;
    if (at != std::string_view::npos && at % 2 == 0) {
      out += kEscapes[at + 1];
      ++i;
    } else if (rest.size() > 3 && rest.starts_with("\\x") && std::isxdigit(static_cast<unsigned char>(rest[2])) &&
               std::isxdigit(static_cast<unsigned char>(rest[3]))) {
      out += static_cast<char>(std::stoi(std::string(rest.substr(2, 2)), nullptr, 16));
      i += 3;
    } else {
      out += text[i];
    }
  }
  return out;
}

// The steps of `script`.
std::vector<DialogueStep> ParseDialogue(std::string_view script) {
  std::vector<DialogueStep> steps;
  while (!script.empty()) {
    std::string_view line = script.substr(0, script.find('\n'));
    script.remove_prefix(std::min(script.size(), line.size() + 1));
    if (line.ends_with('\r')) line.remove_suffix(1);
    std::string_view tag = line.substr(0, 3), text = line.substr(std::min<size_t>(3, line.size()));
    if (line.empty() || line[0] == '#') continue;
    if (tag == "S: " || tag == "C: " || line == "S:" || line == "C:")
      steps.push_back({line[0] == 'S' ? Kind::kServer : Kind::kClient, Unescape(text) + "\r\n"});
    else if (tag == "S> ")
      steps.push_back({Kind::kServer, Unescape(text)});
    else if (line.starts_with("PAUSE "))
      steps.push_back({Kind::kPause, "", std::stoi(std::string(line.substr(6)))});
    else if (line == "TLS")
      steps.push_back({Kind::kTls, ""});
    else if (line == "CLOSE" || line == "STALL")
      steps.push_back({line == "CLOSE" ? Kind::kClose : Kind::kStall, ""});
    else
      throw std::invalid_argument("dialogue line not understood: " + std::string(line));
  }
  return steps;
}

}  // namespace

std::string Escape(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      out += static_cast<char>(c);
      continue;
    }
    char escape[5];
    std::snprintf(escape, sizeof escape, "\\x%02X", c);
    out += c == '\r' ? "\\r" : c == '\n' ? "\\n" : c == '\\' ? "\\\\" : escape;
  }
  return out;
}

std::string Drip(std::string_view bytes, int milliseconds) {
  std::string script;
  for (char c : bytes)
    script += "S> " + Escape(std::string_view(&c, 1)) + "\nPAUSE " + std::to_string(milliseconds) + "\n";
  return script;
}


struct FakeServer::State {
  // Plays server steps up to the next command the client must send, or a pause not yet over.
  void Advance() {
    while (next < steps.size() && !closed && !stalled && Clock::now() >= paused_until) {
      const DialogueStep& step = steps[next];
      if (step.kind == Kind::kClient) return;
      if (step.kind == Kind::kServer && tls) tls->Send(step.bytes);
      if (step.kind == Kind::kServer && !tls) to_client += step.bytes;
      if (step.kind == Kind::kTls) tls = std::make_unique<ServerTls>();
      if (step.kind == Kind::kPause) paused_until = Clock::now() + std::chrono::milliseconds(step.milliseconds);
      closed = step.kind == Kind::kClose;
      stalled = step.kind == Kind::kStall;
      ++next;
    }
    Pump();
  }
  // Runs the TLS engine: plaintext that came is the client's, what the server says goes out.
  void Pump() {
    if (!tls || pumping) return;
    pumping = true;
    for (std::string plain; !(plain = tls->Run(to_client)).empty();) ClientPlain(plain);
    pumping = false;
  }
  void Connect() {
    ++connections;
    tls.reset();
    closed = stalled = false;
    to_client.clear();
    partial_line.clear();
    sent = 0;
    Advance();
  }
  void ClientWrote(std::string_view bytes) {
    if (!tls || closed) return ClientPlain(bytes);
    tls->FromClient(bytes);
    Pump();
  }
  void ClientPlain(std::string_view bytes) {
    written.append(bytes);
    for (char c : bytes) {
      if (closed) return;  // what comes after the server closed is lost
      partial_line += c;
      if (c != '\n' || stalled) continue;  // a stalled server takes no more commands
      if (next < steps.size() && steps[next].kind == Kind::kClient && steps[next].bytes == partial_line) {
        ++next;
        Advance();
      } else {
        problems.push_back((next < steps.size() ? "expected C: " + Escape(steps[next].bytes) : "after the end: ") +
                           " but the client sent " + Escape(partial_line));
        closed = true;  // as a strict server would
      }
      partial_line.clear();
    }
  }
  // Milliseconds a read must wait for something new (up to `most` for a stall); 0 when bytes
  // wait, the server closed or the server waits for the client.
  int Idle(int most) {
    Advance();
    if (sent < to_client.size() || closed) return 0;
    if (stalled) return most;
    auto left = std::chrono::ceil<std::chrono::milliseconds>(paused_until - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, most));
  }
  long Read(char* data, size_t size, int& error) {
    if (Idle(1) > 0) {
      error = wsa::kWouldBlock;
      return -1;
    }
    if (sent < to_client.size()) {
      size_t n = std::min({size, chunk, to_client.size() - sent});
      std::memcpy(data, to_client.data() + sent, n);
      sent += n;
      return static_cast<long>(n);
    }
    if (!closed)
      problems.push_back("the client reads " + (next < steps.size() ? "while the script waits for C: " +
                                                                        Escape(steps[next].bytes)
                                                                  : std::string("after the end of the script")));
    closed = true;
    return 0;
  }

  std::vector<DialogueStep> steps;
  size_t next = 0, sent = 0, chunk = 1 << 16;  // sent: what the client has of to_client
  std::string to_client, written, partial_line, host, port;
  std::vector<std::string> problems;
  bool closed = false, stalled = false, pumping = false;
  std::unique_ptr<ServerTls> tls;  // from a TLS step on, for the rest of the connection
  Clock::time_point paused_until{};
  int connect_result = 0, connections = 0;
};

namespace {

class FakeTransport final : public Transport {
 public:
  explicit FakeTransport(std::shared_ptr<FakeServer::State> server) : server_(std::move(server)) {}

  int BeginConnect(const std::string& host, const std::string& port) override {
    server_->host = host;
    server_->port = port;
    open_ = server_->connect_result == 0;
    if (open_) server_->Connect();
    return server_->connect_result;
  }
  int ContinueConnect(int) override { return open_ ? 0 : wsa::kNotSocket; }
  int Wait(bool write, int milliseconds) override {
    if (!open_) return -wsa::kNotSocket;
    int idle = write ? 0 : server_->Idle(milliseconds);
    std::this_thread::sleep_for(std::chrono::milliseconds(idle));
    return idle == 0;
  }
  long Receive(char* data, size_t size, int& error) override {
    error = wsa::kNotSocket;
    return open_ ? server_->Read(data, size, error) : -1;
  }
  long Send(const char* data, size_t size, int& error) override {
    // A peer that has closed answers with a reset; a slow one has no room every other time.
    bool slow = server_->chunk < (1 << 16) && (no_room_ = !no_room_);
    if (!open_ || server_->closed || slow) {
      error = !open_ ? wsa::kNotSocket : slow ? wsa::kWouldBlock : wsa::kConnectionReset;
      return -1;
    }
    size = std::min(size, server_->chunk);
    server_->ClientWrote(std::string_view(data, size));
    return static_cast<long>(size);
  }
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }
  std::string LocalAddress() const override { return open_ ? "127.0.0.1" : ""; }

 private:
  std::shared_ptr<FakeServer::State> server_;
  bool open_ = false, no_room_ = false;
};

}  // namespace

FakeServer::FakeServer(std::string_view script) : state_(std::make_shared<State>()) {
  state_->steps = ParseDialogue(script);
}

std::unique_ptr<Transport> FakeServer::NewTransport() { return std::make_unique<FakeTransport>(state_); }
void FakeServer::SetConnectResult(int code) { state_->connect_result = code; }
void FakeServer::SetChunkSize(size_t bytes) { state_->chunk = std::max<size_t>(bytes, 1); }

std::string FakeServer::Written() const { return state_->written; }
std::vector<std::string> FakeServer::Problems() const { return state_->problems; }
bool FakeServer::Finished() const { return state_->next == state_->steps.size(); }
int FakeServer::Connections() const { return state_->connections; }
std::string FakeServer::Host() const { return state_->host; }
std::string FakeServer::Port() const { return state_->port; }

LoopbackPort::LoopbackPort(bool ipv6, bool listening) {
  std::vector<SocketAddress> found;
  ResolveTcp(ipv6 ? "::1" : "127.0.0.1", 0, found);
  auto* address = reinterpret_cast<sockaddr*>(&found.at(0).storage);
  fd_ = ::socket(address->sa_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0 || ::bind(fd_, address, found[0].length) != 0 || ::getsockname(fd_, address, &found[0].length) != 0 ||
      (listening && ::listen(fd_, 4) != 0)) {
    if (fd_ >= 0) ::close(fd_);
    throw std::runtime_error("no loopback address to bind");
  }
  port_ = std::to_string(ntohs(ipv6 ? reinterpret_cast<sockaddr_in6*>(address)->sin6_port
                                    : reinterpret_cast<sockaddr_in*>(address)->sin_port));
}

LoopbackPort::~LoopbackPort() { ::close(fd_); }

}  // namespace corvelle::testing
