#pragma once
// One writer per mail directory across processes: a desktop instance and a second one
// started by cron must not retrieve, send, filter or file into the same tree at once. The
// lock is flock() on a hidden file, so it ends with the process whatever way that ends.

#include <string>

namespace corvelle {

class MailDirLock {
 public:
  // Takes the exclusive lock on `lock_file` (made, mode 0600, when missing), waiting at most
  // `wait_ms` for another process to let go. A file that cannot be opened (its folder
  // missing or not writable) gives no lock to take: the lock then counts as held, since no
  // other process can file into that tree either.
  MailDirLock(const std::string& lock_file, int wait_ms);
  ~MailDirLock();
  MailDirLock(const MailDirLock&) = delete;
  MailDirLock& operator=(const MailDirLock&) = delete;

  // False when another process held the lock for the whole wait.
  explicit operator bool() const { return held_; }

 private:
  int fd_ = -1;
  bool held_ = false;
};

}  // namespace corvelle
