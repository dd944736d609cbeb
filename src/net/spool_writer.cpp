#include "net/spool_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "core/file_naming.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

constexpr size_t kBufferLimit = 64 * 1024;
constexpr int kNameAttempts = 16;

}  // namespace

SpoolWriter::~SpoolWriter() {
  if (fd_ >= 0) ::close(fd_);
}

bool SpoolWriter::Create(const std::string& folder, const std::string& extension) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    path_ = UniqueFileName(folder, extension);
    fd_ = CreateNewFile(path_, 0600);
    if (fd_ >= 0) return true;
    if (errno != EEXIST) break;
  }
  path_.clear();
  return false;
}

bool SpoolWriter::Append(std::string_view bytes) {
  if (failed_) return false;
  buffer_.append(bytes);
  size_ += static_cast<long long>(bytes.size());
  if (buffer_.size() >= kBufferLimit) return WriteBuffer();
  return true;
}

bool SpoolWriter::WriteBuffer() {
  size_t at = 0;
  while (!failed_ && at < buffer_.size()) {
    ssize_t n = ::write(fd_, buffer_.data() + at, buffer_.size() - at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) failed_ = true;
    else at += static_cast<size_t>(n);
  }
  buffer_.clear();
  return !failed_;
}

bool SpoolWriter::Close() {
  if (fd_ < 0) return false;
  bool ok = WriteBuffer();
  if (::close(fd_) != 0) ok = false;
  fd_ = -1;
  return ok;
}

void SpoolWriter::Remove() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!path_.empty()) RemoveFile(path_);
  path_.clear();
}

}  // namespace corvelle
