#include "core/mailbox/mailbox_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/paths.h"

namespace corvelle {
namespace {

constexpr size_t kBuffer = size_t{1} << 20;

}  // namespace

void StreamHash::Take(char c) {
  tail_ |= std::uint64_t{static_cast<unsigned char>(c)} << (8 * (length_++ % 8));
  if (length_ % 8 == 0) {
    Mix(tail_);
    tail_ = 0;
  }
}

// The word begun by an earlier piece first, then whole words, then the start of the next.
void StreamHash::Add(std::string_view bytes) {
  for (; !bytes.empty() && length_ % 8 != 0; bytes.remove_prefix(1)) Take(bytes.front());
  for (; bytes.size() >= 8; bytes.remove_prefix(8), length_ += 8) {
    std::uint64_t word;
    std::memcpy(&word, bytes.data(), 8);
    Mix(word);
  }
  for (char c : bytes) Take(c);
}

std::uint64_t StreamHash::Value() const { return (hash_ ^ tail_) * 0x100000001b3ull ^ length_; }

MailboxWriter::~MailboxWriter() { Abandon(); }

bool MailboxWriter::Open(const std::string& path) {
  path_ = path;
  fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd_ < 0 && errno == ENOENT) {
    work_ = FolderPart(path) + "." + NamePart(path) + ".XXXXXX";
    fd_ = ::mkstemp(work_.data());
    if (fd_ < 0) work_.clear();
  }
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    Abandon();
    return false;
  }
  old_size_ = static_cast<std::uint64_t>(st.st_size);
  buffer_.reserve(kBuffer);
  return true;
}

bool MailboxWriter::Write(std::string_view bytes) {
  if (buffer_.size() + bytes.size() > kBuffer && !Drain()) return false;
  if (bytes.size() >= kBuffer) {
    hash_.Add(bytes);
    written_ += bytes.size();
    failed_ = failed_ || !WriteAll(fd_, bytes);
    return !failed_;
  }
  buffer_.append(bytes);
  return !failed_;
}

bool MailboxWriter::Drain() {
  hash_.Add(buffer_);
  written_ += buffer_.size();
  failed_ = failed_ || !WriteAll(fd_, buffer_);
  buffer_.clear();
  return !failed_;
}

// The bytes after the old contents, read back, hash as the bytes written did.
bool MailboxWriter::ReadsBack() const {
  int fd = ::open((work_.empty() ? path_ : work_).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && static_cast<std::uint64_t>(st.st_size) == old_size_ + written_;
  StreamHash read;
  std::string buffer(kBuffer, '\0');
  for (std::uint64_t at = old_size_; ok && at < old_size_ + written_;) {
    ssize_t n = ::pread(fd, buffer.data(), buffer.size(), static_cast<off_t>(at));
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) read.Add(std::string_view(buffer.data(), static_cast<size_t>(n)));
    at += static_cast<std::uint64_t>(std::max<ssize_t>(n, 0));
  }
  ::close(fd);
  return ok && read.Value() == hash_.Value();
}

bool MailboxWriter::Finish() {
  if (fd_ < 0) return false;
  bool ok = Drain() && ::fsync(fd_) == 0 && ReadsBack();
  ok = ok && (work_.empty() || (MoveNoReplace(work_, path_) == MoveResult::kMoved && SyncPath(FolderPart(path_))));
  if (!ok) {
    Abandon();
    return false;
  }
  ::close(fd_);
  fd_ = -1;
  return true;
}

void MailboxWriter::Abandon() {
  if (fd_ < 0) return;
  if (!work_.empty()) {
    RemoveFile(work_);
  } else if (::ftruncate(fd_, static_cast<off_t>(old_size_)) == 0) {
    ::fsync(fd_);  // the old contents as they were, and on disk so
  }
  ::close(fd_);
  fd_ = -1;
}

}  // namespace corvelle
