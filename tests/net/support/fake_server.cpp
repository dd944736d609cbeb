#include "net/support/fake_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <stdexcept>

#include "platform/tcp_socket.h"

namespace corvelle::testing {
namespace {

using Clock = std::chrono::steady_clock;
using Kind = DialogueStep::Kind;

// A socket bound to the loopback address on a port the system assigns (its number in `port`).
int BindLoopback(bool ipv6, std::string& port, int receive_buffer = 0) {
  int fd = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (receive_buffer > 0) ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receive_buffer, sizeof receive_buffer);
  sockaddr_in6 in6{};
  sockaddr_in in4{};
  in6.sin6_family = AF_INET6;
  in6.sin6_addr = in6addr_loopback;
  in4.sin_family = AF_INET;
  in4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  auto* address = ipv6 ? reinterpret_cast<sockaddr*>(&in6) : reinterpret_cast<sockaddr*>(&in4);
  socklen_t length = ipv6 ? sizeof in6 : sizeof in4;
  if (fd < 0 || ::bind(fd, address, length) != 0 || ::getsockname(fd, address, &length) != 0) {
    if (fd >= 0) ::close(fd);
    throw std::runtime_error("no loopback address to bind");
  }
  port = std::to_string(ntohs(ipv6 ? in6.sin6_port : in4.sin_port));
  return fd;
}

}  // namespace

struct FakeServer::State {
  // Plays server steps up to the next command the client must send, or a pause not yet over.
  void Advance() {
    while (next < steps.size() && !closed && !stalled && Clock::now() >= paused_until) {
      const DialogueStep& step = steps[next];
      if (step.kind == Kind::kClient) return;
      if (step.kind == Kind::kServer) to_client += step.bytes;
      if (step.kind == Kind::kPause) paused_until = Clock::now() + std::chrono::milliseconds(step.milliseconds);
      closed = step.kind == Kind::kClose;
      stalled = step.kind == Kind::kStall;
      ++next;
    }
  }
  void Connect() {
    ++connections;
    closed = stalled = false;
    to_client.clear();
    partial_line.clear();
    sent = 0;
    Advance();
  }
  void ClientWrote(std::string_view bytes) {
    written.append(bytes);
    for (char c : bytes) {
      if (closed) return;  // what comes after the server closed is lost
      partial_line += c;
      if (c != '\n' || stalled) continue;  // a stalled server takes no more commands
      if (next < steps.size() && steps[next].kind == Kind::kClient && steps[next].bytes == partial_line) {
        ++next;
        Advance();
      } else {
        problems.push_back((next < steps.size() ? "expected C: " + Escape(steps[next].bytes) : std::string("after the end")) +
                           ", the client sent " + Escape(partial_line));
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
      problems.push_back(next < steps.size() ? "the client reads while the server waits for C: " + Escape(steps[next].bytes)
                                             : "the client reads after the end of the script");
    closed = true;
    return 0;
  }

  std::mutex mutex;  // the TCP thread and the test share the state
  std::vector<DialogueStep> steps;
  size_t next = 0, sent = 0, chunk = 1 << 16;  // sent: what the client has of to_client
  std::string to_client, written, partial_line, host, port;
  std::vector<std::string> problems;
  bool closed = false, stalled = false;
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
    if (!open_ || server_->closed) {  // a peer that has closed answers with a reset
      error = open_ ? wsa::kConnectionReset : wsa::kNotSocket;
      return -1;
    }
    server_->ClientWrote(std::string_view(data, size));
    return static_cast<long>(size);
  }
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }
  int Handle() const override { return open_ ? 1000 : -1; }
  bool Watchable() const override { return false; }
  std::string LocalAddress() const override { return open_ ? "127.0.0.1" : ""; }

 private:
  std::shared_ptr<FakeServer::State> server_;
  bool open_ = false;
};

}  // namespace

FakeServer::FakeServer(std::string_view script) : state_(std::make_shared<State>()) { AddSteps(ParseDialogue(script)); }

FakeServer::~FakeServer() {
  if (!thread_.joinable()) return;
  (void)!::write(stop_[1], "x", 1);
  thread_.join();
  ::close(stop_[0]);
  ::close(stop_[1]);
}

void FakeServer::AddSteps(const std::vector<DialogueStep>& steps) {
  state_->steps.insert(state_->steps.end(), steps.begin(), steps.end());
}

std::unique_ptr<Transport> FakeServer::NewTransport() { return std::make_unique<FakeTransport>(state_); }
void FakeServer::SetConnectResult(int code) { state_->connect_result = code; }
void FakeServer::SetChunkSize(size_t bytes) { state_->chunk = std::max<size_t>(bytes, 1); }

std::string FakeServer::Listen(bool ipv6, int receive_buffer) {
  std::string port;
  int listener = BindLoopback(ipv6, port, receive_buffer);
  if (::listen(listener, 4) != 0 || ::pipe2(stop_, O_CLOEXEC) != 0) throw std::runtime_error("cannot listen");
  thread_ = std::thread([this, listener] {
    Serve(listener);
    ::close(listener);
  });
  return port;
}

// One client after another until the destructor stops it (or nobody comes for 15 seconds):
// what the script says goes out, what the client sends is played against the script.
void FakeServer::Serve(int listener) {
  State& s = *state_;
  for (bool stop = false; !stop;) {
    pollfd accept_or_stop[2] = {{listener, POLLIN, 0}, {stop_[0], POLLIN, 0}};
    if (::poll(accept_or_stop, 2, 15000) <= 0 || accept_or_stop[1].revents) return;
    int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    timeval bound{15, 0};  // a client that stops reading cannot hold the thread
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &bound, sizeof bound);
    std::unique_lock lock(s.mutex);
    s.Connect();
    for (;;) {
      s.Advance();
      std::string out = s.to_client.substr(s.sent);
      s.sent = s.to_client.size();
      bool closed = s.closed;
      lock.unlock();
      if (!out.empty() && ::send(fd, out.data(), out.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(out.size())) break;
      pollfd io[2] = {{fd, POLLIN, 0}, {stop_[0], POLLIN, 0}};
      if (closed || ::poll(io, 2, 10) < 0 || (stop = io[1].revents != 0)) break;
      char buffer[65536];
      ssize_t n = io[0].revents ? ::recv(fd, buffer, sizeof buffer, 0) : -1;
      if (n == 0 || (n < 0 && io[0].revents)) break;  // the client hung up
      lock.lock();
      if (n > 0) s.ClientWrote(std::string_view(buffer, static_cast<size_t>(n)));
    }
    ::close(fd);
  }
}

std::string FakeServer::Written() const {
  std::lock_guard lock(state_->mutex);
  return state_->written;
}
std::vector<std::string> FakeServer::Problems() const {
  std::lock_guard lock(state_->mutex);
  return state_->problems;
}
bool FakeServer::Finished() const {
  std::lock_guard lock(state_->mutex);
  return state_->next == state_->steps.size();
}
int FakeServer::Connections() const { return state_->connections; }
std::string FakeServer::Host() const { return state_->host; }
std::string FakeServer::Port() const { return state_->port; }

ClosedPort::ClosedPort() { fd_ = BindLoopback(false, port_); }
ClosedPort::~ClosedPort() { ::close(fd_); }

}  // namespace corvelle::testing
