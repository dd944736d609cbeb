#include "platform/file_append.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/paths.h"

namespace corvelle {
namespace {

// True when the file holds `data` from `offset` on and nothing after it.
bool HoldsAt(int fd, off_t offset, std::string_view data) {
  struct stat st {};
  if (::fstat(fd, &st) != 0 || st.st_size != offset + static_cast<off_t>(data.size())) return false;
  std::vector<char> buffer(std::min<size_t>(data.size(), size_t{1} << 20) + 1);
  size_t done = 0;
  while (done < data.size()) {
    size_t want = std::min(buffer.size(), data.size() - done);
    ssize_t n = ::pread(fd, buffer.data(), want, offset + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || std::memcmp(buffer.data(), data.data() + done, static_cast<size_t>(n)) != 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool CheckNewFile(const std::string& path, std::string_view data) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = HoldsAt(fd, 0, data);
  ::close(fd);
  return ok;
}

}  // namespace

bool AppendFileChecked(const std::string& path, std::string_view data) {
  int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
  if (fd < 0) {
    if (errno != ENOENT || !WriteNewFile(path, data)) return false;
    if (CheckNewFile(path, data)) return true;
    RemoveFile(path);
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    ::close(fd);
    return false;
  }
  bool ok = WriteAll(fd, data) && ::fsync(fd) == 0 && HoldsAt(fd, st.st_size, data);
  // Whatever part of the new bytes got in goes again: the old contents stay as they were.
  if (!ok && ::ftruncate(fd, st.st_size) == 0) ::fsync(fd);
  return (::close(fd) == 0) && ok;
}

}  // namespace corvelle

namespace corvelle {

bool WriteNewFileUnflushed(const std::string& path, std::string_view data) {
  int fd = CreateNewFile(path);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, data);
  ok = (::close(fd) == 0) && ok;
  if (!ok) RemoveFile(path);
  return ok;
}

}  // namespace corvelle
