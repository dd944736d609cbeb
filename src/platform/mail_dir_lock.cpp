#include "platform/mail_dir_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

namespace corvelle {
namespace {

constexpr auto kRetryEvery = std::chrono::milliseconds(50);

bool TryLock(int fd) {
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0)
    if (errno != EINTR) return false;
  return true;
}

}  // namespace

MailDirLock::MailDirLock(const std::string& lock_file, int wait_ms) {
  fd_ = ::open(lock_file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd_ < 0) {
    held_ = true;
    return;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(wait_ms);
  while (!(held_ = TryLock(fd_)) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(kRetryEvery);
}

MailDirLock::~MailDirLock() {
  if (fd_ >= 0) ::close(fd_);  // closing the only descriptor lets the lock go
}

}  // namespace corvelle
