#include "net/support/scripted_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace corvelle::testing {

ServerScript& ServerScript::Play(const ServerScript& more) {
  steps_.insert(steps_.end(), more.steps_.begin(), more.steps_.end());
  return *this;
}

ServerScript& ServerScript::Send(const std::string& bytes) {
  steps_.push_back(DialogueStep{DialogueStep::Kind::kServer, bytes});
  return *this;
}

ServerScript& ServerScript::Pause(int milliseconds) {
  steps_.emplace_back(std::in_place_type<std::chrono::milliseconds>, milliseconds);
  return *this;
}

ServerScript& ServerScript::Drip(const std::string& bytes, int milliseconds) {
  for (char byte : bytes) Send(std::string(1, byte)).Pause(milliseconds);
  return *this;
}

ScriptedServer::ScriptedServer(ServerScript script, Options options)
    : script_(std::move(script)), options_(options) {
  if (::pipe2(stop_pipe_, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  int family = options_.ipv6 ? AF_INET6 : AF_INET;
  listener_ = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener_ < 0) throw std::runtime_error("socket failed");
  int on = 1;
  ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (options_.receive_buffer > 0)
    ::setsockopt(listener_, SOL_SOCKET, SO_RCVBUF, &options_.receive_buffer, sizeof options_.receive_buffer);
  sockaddr_storage address{};
  socklen_t length;
  if (options_.ipv6) {
    auto* in6 = reinterpret_cast<sockaddr_in6*>(&address);
    in6->sin6_family = AF_INET6;
    in6->sin6_addr = in6addr_loopback;
    length = sizeof *in6;
  } else {
    auto* in4 = reinterpret_cast<sockaddr_in*>(&address);
    in4->sin_family = AF_INET;
    in4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    length = sizeof *in4;
  }
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(listener_, 4) != 0)
    throw std::runtime_error("bind/listen failed");
  length = sizeof address;
  ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(options_.ipv6 ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                              : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
  thread_ = std::thread([this] { Run(); });
}

ScriptedServer::~ScriptedServer() {
  char stop = 1;
  (void)!::write(stop_pipe_[1], &stop, 1);
  thread_.join();
  ::close(listener_);
  ::close(stop_pipe_[0]);
  ::close(stop_pipe_[1]);
}

bool ScriptedServer::WaitDone() {
  using Clock = std::chrono::steady_clock;
  auto end = Clock::now() + options_.bound + std::chrono::seconds(5);
  while (!done_ && Clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return done_;
}

std::string ScriptedServer::Received() const {
  std::lock_guard lock(mutex_);
  return received_;
}

std::vector<std::string> ScriptedServer::Problems() const {
  std::lock_guard lock(mutex_);
  return problems_;
}

void ScriptedServer::Record(std::string_view bytes) {
  std::lock_guard lock(mutex_);
  received_.append(bytes);
}

void ScriptedServer::Problem(const std::string& text) {
  std::lock_guard lock(mutex_);
  problems_.push_back(text);
}

// Readable (or hung up) within the bound, and no stop asked for.
bool ScriptedServer::WaitReadable(int fd) {
  pollfd entries[2] = {{fd, POLLIN, 0}, {stop_pipe_[0], POLLIN, 0}};
  int result = ::poll(entries, 2, static_cast<int>(options_.bound.count()));
  if (result <= 0 || entries[1].revents) return false;
  return entries[0].revents != 0;
}

bool ScriptedServer::Accept(int& connection) {
  if (!WaitReadable(listener_)) return false;
  connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  if (connection < 0) return false;
  int on = 1;
  ::setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  ++connections_;
  return true;
}

bool ScriptedServer::SendAll(int connection, const std::string& bytes) {
  size_t step = options_.trickle ? 1 : bytes.size();
  for (size_t at = 0; at < bytes.size();) {
    ssize_t n = ::send(connection, bytes.data() + at, std::min(step, bytes.size() - at), MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    at += static_cast<size_t>(n);
  }
  return true;
}

bool ScriptedServer::ReadLine(int connection, std::string& pending, std::string& line) {
  for (;;) {
    size_t lf = pending.find('\n');
    if (lf != std::string::npos) {
      line = pending.substr(0, lf + 1);
      pending.erase(0, lf + 1);
      return true;
    }
    if (!WaitReadable(connection)) return false;
    char buffer[65536];
    ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    Record(std::string_view(buffer, static_cast<size_t>(n)));
    pending.append(buffer, static_cast<size_t>(n));
  }
}

void ScriptedServer::DrainUntilClosed(int connection) {
  char buffer[65536];
  while (WaitReadable(connection)) {
    ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    Record(std::string_view(buffer, static_cast<size_t>(n)));
  }
}

void ScriptedServer::Run() {
  const std::vector<ServerScript::Step>& steps = script_.steps();
  int connection = -1;
  std::string pending;
  size_t next = 0;
  bool ok = true;
  while (ok && next < steps.size()) {
    if (connection < 0) {
      if (!Accept(connection)) {
        Problem("no client connected");
        break;
      }
      pending.clear();
    }
    if (const auto* pause = std::get_if<std::chrono::milliseconds>(&steps[next])) {
      pollfd stop{stop_pipe_[0], POLLIN, 0};  // only the destructor cuts a pause short
      ok = ::poll(&stop, 1, static_cast<int>(pause->count())) == 0;
      if (ok) ++next;
      continue;
    }
    const DialogueStep& step = std::get<DialogueStep>(steps[next]);
    switch (step.kind) {
      case DialogueStep::Kind::kServer:
        ok = SendAll(connection, step.bytes);
        if (!ok) Problem("the client hung up before the server sent " + Escape(step.bytes));
        break;
      case DialogueStep::Kind::kClient: {
        std::string line;
        if (!ReadLine(connection, pending, line)) {
          Problem("expected C: " + Escape(step.bytes) + " but the client sent nothing more");
          ok = false;
        } else if (line != step.bytes) {
          Problem("expected C: " + Escape(step.bytes) + " but the client sent " + Escape(line));
          ok = false;
        }
        break;
      }
      case DialogueStep::Kind::kClose:
        ::close(connection);
        connection = -1;
        break;
      case DialogueStep::Kind::kStall:
        DrainUntilClosed(connection);
        break;
    }
    if (ok) ++next;
  }
  finished_ = next == steps.size();
  if (connection >= 0) {
    DrainUntilClosed(connection);
    ::close(connection);
  }
  done_ = true;
}

ClosedPort::ClosedPort() {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    if (fd_ >= 0) ::close(fd_);
    throw std::runtime_error("no loopback port");
  }
  port_ = ntohs(address.sin_port);
}

ClosedPort::~ClosedPort() { ::close(fd_); }

}  // namespace corvelle::testing
