#include "core/store/big_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/paths.h"

namespace corvelle {

bool TBigFile::LoadFromFile(const std::string& path) {
  position_ = 0;
  return ReadWholeFile(path, data_);
}

namespace {

// Reads what `fd` holds, at most `limit` bytes; `size` is what fstat said. A short read of a
// regular file is its end, so a file that keeps its size costs one read.
bool ReadWithin(int fd, size_t size, size_t limit, std::string& out) {
  size_t got = 0;
  out.resize(size + 1);
  for (;;) {
    ssize_t n = ::read(fd, out.data() + got, out.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    got += static_cast<size_t>(n);
    if (got > limit) return false;
    if (got < out.size()) break;
    out.resize(out.size() * 2);
  }
  out.resize(got);
  return true;
}

}  // namespace

bool TBigFile::LoadFromFileWithin(const std::string& path, size_t limit) {
  position_ = 0;
  data_.clear();
  // Non-blocking, so that a FIFO cannot hold the program at open().
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<size_t>(st.st_size) <= limit &&
            ReadWithin(fd, static_cast<size_t>(st.st_size), limit, data_);
  ::close(fd);
  if (!ok) data_.clear();
  return ok;
}

void TBigFile::LoadFromString(std::string data) {
  data_ = std::move(data);
  position_ = 0;
}

// A line ends at the first LF; a CR right before it belongs to the line end, any other CR
// stays in the line. This gives what reading in 255-byte pieces until one holds an LF and
// then stepping back gives, without reading anything twice.
bool TBigFile::GetNextString(std::string& s) {
  if (position_ >= data_.size()) {
    s.clear();
    return false;
  }
  const char* begin = data_.data() + position_;
  size_t left = data_.size() - position_;
  const auto* lf = static_cast<const char*>(std::memchr(begin, '\n', left));
  if (!lf) {
    s.assign(begin, left);
    position_ = data_.size();
    return true;
  }
  const char* end = (lf > begin && lf[-1] == '\r') ? lf - 1 : lf;
  s.assign(begin, static_cast<size_t>(end - begin));
  position_ += static_cast<size_t>(lf - begin) + 1;
  return true;
}

size_t TBigFile::Position() const { return position_; }

void TBigFile::SetPosition(size_t position) { position_ = position < data_.size() ? position : data_.size(); }

size_t TBigFile::Size() const { return data_.size(); }

const std::string& TBigFile::Data() const { return data_; }

}  // namespace corvelle
