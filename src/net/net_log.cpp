#include "net/net_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/paths.h"

namespace corvelle {

NetLog::NetLog(std::string path) : path_(std::move(path)) {}

namespace {

constexpr size_t kHeldLimit = 64 * 1024;

}  // namespace

NetLog::~NetLog() {
  Flush();
  if (fd_ >= 0) ::close(fd_);
}

void NetLog::Open(int flags) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = ::open(ResolvePath(path_).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | flags, 0600);
}

void NetLog::Restart() {
  waiting_.clear();
  Open(O_TRUNC);
}

void NetLog::Write(const std::string& text) {
  waiting_ += text;
  waiting_ += "\r\n";
  if (!held_ || waiting_.size() >= kHeldLimit) Flush();
}

void NetLog::Flush() {
  if (waiting_.empty()) return;
  if (fd_ < 0) Open(0);
  for (size_t at = 0; fd_ >= 0 && at < waiting_.size();) {
    ssize_t n = ::write(fd_, waiting_.data() + at, waiting_.size() - at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    at += static_cast<size_t>(n);
  }
  waiting_.clear();
}

}  // namespace corvelle
