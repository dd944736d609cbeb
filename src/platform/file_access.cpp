#include "platform/file_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/paths.h"

namespace corvelle {

bool IsWritableFile(std::string_view path) {
  if (path.empty()) return false;
  const std::string resolved = ResolvePath(path);
  struct stat st {};
  return ::stat(resolved.c_str(), &st) == 0 && (st.st_mode & 0222) != 0 &&
         ::faccessat(AT_FDCWD, resolved.c_str(), W_OK, AT_EACCESS) == 0;
}

}  // namespace corvelle
