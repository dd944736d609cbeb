#include "core/browse/folder_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "core/store/folder_files.h"

namespace corvelle {
namespace {

bool StatAt(int fd, ListedFile& file) {
  struct stat info {};
  if (::fstatat(fd, file.name.c_str(), &info, 0) != 0 || !S_ISREG(info.st_mode)) return false;
  file.inode = static_cast<uint64_t>(info.st_ino);
  file.size = static_cast<int64_t>(info.st_size);
  file.mtime = static_cast<int64_t>(info.st_mtime);
  return true;
}

}  // namespace

bool ListFolderStats(const std::string& folder, std::vector<ListedFile>& files, std::string& error, bool stat) {
  files.clear();
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
  if (!dir) {
    error = std::strerror(errno);
    return false;
  }
  const int fd = ::dirfd(dir.get());
  while (const dirent* entry = ::readdir(dir.get())) {
    if (IsHiddenName(entry->d_name)) continue;
    const bool regular = entry->d_type == DT_REG;
    if (!regular && entry->d_type != DT_UNKNOWN && entry->d_type != DT_LNK) continue;
    ListedFile file{entry->d_name, static_cast<uint64_t>(entry->d_ino)};
    if ((stat || !regular) && !StatAt(fd, file)) continue;
    files.push_back(std::move(file));
  }
  return true;
}

bool StatListedFile(const std::string& folder, ListedFile& file) {
  struct stat info {};
  if (::stat((folder + file.name).c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  file.size = static_cast<int64_t>(info.st_size);
  file.mtime = static_cast<int64_t>(info.st_mtime);
  return true;
}

int64_t FolderLinkCount(const std::string& folder) {
  struct stat info {};
  return ::stat(folder.c_str(), &info) == 0 ? static_cast<int64_t>(info.st_nlink) : -1;
}

}  // namespace corvelle
