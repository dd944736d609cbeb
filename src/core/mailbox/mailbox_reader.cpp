#include "core/mailbox/mailbox_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace corvelle {
namespace {

constexpr size_t kChunk = size_t{1} << 20;

}  // namespace

MailboxReader::~MailboxReader() {
  if (fd_ >= 0) ::close(fd_);
}

bool MailboxReader::Open(const std::string& path, std::uint64_t offset) {
  if (fd_ >= 0) ::close(fd_);
  start_ = end_ = 0;
  eof_ = failed_ = false;
  // Non-blocking, so that a FIFO cannot hold the program at open(); only regular files are read.
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  struct stat st {};
  bool ok = fd_ >= 0 && ::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode);
  size_ = static_cast<std::uint64_t>(st.st_size);
  inode_ = static_cast<std::uint64_t>(st.st_ino);
  if (!ok || offset > size_ || (offset > 0 && ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0)) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    return false;
  }
  buffer_offset_ = offset;
  if (buffer_.size() < kChunk) buffer_.resize(kChunk);
  return true;
}

// Keeps the unread part at the front and reads more after it; grows only for a line longer
// than the buffer.
bool MailboxReader::Fill() {
  if (start_ > 0) {
    std::memmove(buffer_.data(), buffer_.data() + start_, end_ - start_);
    buffer_offset_ += start_;
    end_ -= start_;
    start_ = 0;
  }
  if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);
  for (;;) {
    ssize_t n = ::read(fd_, buffer_.data() + end_, buffer_.size() - end_);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) failed_ = true;
    if (n <= 0) {
      eof_ = true;
      return false;
    }
    end_ += static_cast<size_t>(n);
    return true;
  }
}

bool MailboxReader::Next(std::string_view& line) {
  if (fd_ < 0) return false;
  size_t searched = start_;
  for (;;) {
    const char* found = static_cast<const char*>(std::memchr(buffer_.data() + searched, '\n', end_ - searched));
    if (found) {
      size_t stop = static_cast<size_t>(found - buffer_.data()) + 1;
      line = std::string_view(buffer_.data() + start_, stop - start_);
      start_ = stop;
      return true;
    }
    searched = end_ - start_;  // what is searched stays searched after the move to the front
    if (eof_ || !Fill()) break;
  }
  if (start_ == end_ || failed_) return false;
  line = std::string_view(buffer_.data() + start_, end_ - start_);
  start_ = end_;
  return true;
}

}  // namespace corvelle
