#include "core/browse/folder_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "core/store/folder_files.h"

namespace corvelle {

bool ListFolderStats(const std::string& folder, std::vector<ListedFile>& files, std::string& error) {
  files.clear();
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
  if (!dir) {
    error = std::strerror(errno);
    return false;
  }
  const int fd = ::dirfd(dir.get());
  while (const dirent* entry = ::readdir(dir.get())) {
    if (IsHiddenName(entry->d_name)) continue;
    if (entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN && entry->d_type != DT_LNK) continue;
    struct stat info {};
    if (::fstatat(fd, entry->d_name, &info, 0) != 0 || !S_ISREG(info.st_mode)) continue;
    files.push_back({entry->d_name, static_cast<int64_t>(info.st_size), static_cast<int64_t>(info.st_mtime)});
  }
  return true;
}

}  // namespace corvelle
