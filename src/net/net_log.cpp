#include "net/net_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/paths.h"

namespace corvelle {

NetLog::NetLog(std::string path) : path_(std::move(path)) {}

NetLog::~NetLog() {
  if (fd_ >= 0) ::close(fd_);
}

void NetLog::Open(int flags) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = ::open(ResolvePath(path_).c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | flags, 0600);
}

void NetLog::Restart() { Open(O_TRUNC); }

void NetLog::Write(const std::string& text) {
  if (fd_ < 0) Open(0);
  std::string entry = text + "\r\n";
  for (size_t at = 0; fd_ >= 0 && at < entry.size();) {
    ssize_t n = ::write(fd_, entry.data() + at, entry.size() - at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    at += static_cast<size_t>(n);
  }
}

}  // namespace corvelle
