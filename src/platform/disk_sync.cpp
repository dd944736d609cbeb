#include "platform/disk_sync.h"

#include <fcntl.h>
#include <unistd.h>

namespace corvelle {

bool SyncFileSystem(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::syncfs(fd) == 0;
  ::close(fd);
  return ok;
}

}  // namespace corvelle
