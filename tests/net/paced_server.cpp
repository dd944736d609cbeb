#include "paced_server.h"

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

PacedServer::PacedServer() {
  if (::pipe2(stop_pipe_, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(listener_, 1) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    throw std::runtime_error("cannot listen on loopback");
  port_ = ntohs(address.sin_port);
}

PacedServer::~PacedServer() {
  char stop = 1;
  (void)!::write(stop_pipe_[1], &stop, 1);
  if (thread_.joinable()) thread_.join();
  ::close(listener_);
  ::close(stop_pipe_[0]);
  ::close(stop_pipe_[1]);
}

PacedServer& PacedServer::Send(const std::string& bytes) {
  steps_.push_back({Step::Kind::kSend, bytes});
  return *this;
}

PacedServer& PacedServer::Drip(const std::string& bytes, int milliseconds) {
  for (char byte : bytes) Send(std::string(1, byte)).Pause(milliseconds);
  return *this;
}

PacedServer& PacedServer::Pause(int milliseconds) {
  steps_.push_back({Step::Kind::kPause, "", milliseconds});
  return *this;
}

PacedServer& PacedServer::Play(const std::vector<DialogueStep>& steps) {
  for (const DialogueStep& step : steps) {
    switch (step.kind) {
      case DialogueStep::Kind::kServer: steps_.push_back({Step::Kind::kSend, step.bytes}); break;
      case DialogueStep::Kind::kClient: steps_.push_back({Step::Kind::kExpect, step.bytes}); break;
      case DialogueStep::Kind::kClose: steps_.push_back({Step::Kind::kClose, ""}); break;
      case DialogueStep::Kind::kStall: steps_.push_back({Step::Kind::kStall, ""}); break;
    }
  }
  return *this;
}

void PacedServer::Start() { thread_ = std::thread([this] { Run(); }); }

bool PacedServer::WaitDone() {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kBoundMilliseconds + 5000);
  while (!done_ && std::chrono::steady_clock::now() < end) Sleep(5);
  return done_;
}

std::string PacedServer::Received() const {
  std::lock_guard lock(mutex_);
  return received_;
}

std::vector<std::string> PacedServer::Problems() const {
  std::lock_guard lock(mutex_);
  return problems_;
}

void PacedServer::Problem(const std::string& text) {
  std::lock_guard lock(mutex_);
  problems_.push_back(text);
}

bool PacedServer::WaitReadable(int fd, int milliseconds) {
  pollfd entries[2] = {{fd, POLLIN, 0}, {stop_pipe_[0], POLLIN, 0}};
  int result = ::poll(entries, 2, milliseconds);
  return result > 0 && !entries[1].revents && entries[0].revents;
}

bool PacedServer::Sleep(int milliseconds) {
  pollfd entry{stop_pipe_[0], POLLIN, 0};
  return ::poll(&entry, 1, milliseconds) == 0;
}

bool PacedServer::ReadLine(int connection, std::string& pending, std::string& line) {
  for (;;) {
    size_t lf = pending.find('\n');
    if (lf != std::string::npos) {
      line = pending.substr(0, lf + 1);
      pending.erase(0, lf + 1);
      return true;
    }
    if (!WaitReadable(connection, kBoundMilliseconds)) return false;
    char buffer[4096];
    ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    std::lock_guard lock(mutex_);
    received_.append(buffer, static_cast<size_t>(n));
    pending.append(buffer, static_cast<size_t>(n));
  }
}

void PacedServer::DrainUntilClosed(int connection) {
  char buffer[4096];
  while (WaitReadable(connection, kBoundMilliseconds)) {
    ssize_t n = ::recv(connection, buffer, sizeof buffer, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    std::lock_guard lock(mutex_);
    received_.append(buffer, static_cast<size_t>(n));
  }
}

void PacedServer::Run() {
  int connection = -1;
  if (WaitReadable(listener_, kBoundMilliseconds)) connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  if (connection < 0) {
    Problem("no client connected");
    done_ = true;
    return;
  }
  int on = 1;
  ::setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  std::string pending, line;
  size_t next = 0;
  for (bool ok = true; ok && next < steps_.size(); next += ok ? 1 : 0) {
    const Step& step = steps_[next];
    switch (step.kind) {
      case Step::Kind::kSend:
        ok = ::send(connection, step.bytes.data(), step.bytes.size(), MSG_NOSIGNAL) ==
             static_cast<ssize_t>(step.bytes.size());
        if (!ok) Problem("the client hung up before the server sent " + Escape(step.bytes));
        break;
      case Step::Kind::kExpect:
        line.clear();
        ok = ReadLine(connection, pending, line) && line == step.bytes;
        if (!ok) Problem("expected C: " + Escape(step.bytes) + " but the client sent " + Escape(line));
        break;
      case Step::Kind::kPause: ok = Sleep(step.milliseconds); break;
      case Step::Kind::kClose:
        ::close(connection);
        connection = -1;
        break;
      case Step::Kind::kStall: DrainUntilClosed(connection); break;
    }
  }
  finished_ = next == steps_.size();
  if (connection >= 0) {
    DrainUntilClosed(connection);
    ::close(connection);
  }
  done_ = true;
}

}  // namespace corvelle::testing
