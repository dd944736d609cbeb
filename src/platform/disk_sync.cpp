#include "platform/disk_sync.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string_view>
#include <atomic>
#include <thread>

namespace corvelle {
namespace {

// Enough flushes in flight for the journal to take many files in one commit.
constexpr size_t kFlushThreads = 8;
constexpr size_t kFilesPerThread = 16;
constexpr size_t kMostKeptOpen = 8192;

bool SyncFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::fdatasync(fd) == 0;
  ::close(fd);
  return ok;
}

// True when the first `count` descriptors are all open and on one file system.
bool OneFileSystem(const std::vector<int>& open, size_t count) {
  if (open.size() < count) return false;
  struct stat first {};
  if (open[0] < 0 || ::fstat(open[0], &first) != 0) return false;
  for (size_t i = 1; i < count; ++i) {
    struct stat st {};
    if (open[i] < 0 || ::fstat(open[i], &st) != 0 || st.st_dev != first.st_dev) return false;
  }
  return true;
}

// True when every path names a file of the same folder (and so of one file system).
bool OneFolder(const std::vector<std::string>& paths) {
  const size_t slash = paths[0].rfind('/');
  if (slash == std::string::npos) return false;
  const std::string_view folder(paths[0].data(), slash + 1);
  for (const std::string& path : paths)
    if (path.rfind('/') != slash || !path.starts_with(folder)) return false;
  return true;
}

bool SyncFileSystemOf(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::syncfs(fd) == 0;
  ::close(fd);
  return ok;
}

}  // namespace

void StartWriteBack(int fd) { ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE); }

bool SyncFiles(const std::vector<std::string>& paths) { return SyncFiles(paths, {}); }

bool SyncFiles(const std::vector<std::string>& paths, const std::vector<int>& open) {
  // Many files of one file system: one flush of that file system writes them all and empties
  // the disk's cache once, where a flush per file empties it once per file.
  if (paths.size() >= kFilesPerThread) {
    if (OneFileSystem(open, paths.size())) return ::syncfs(open[0]) == 0;
    if (OneFolder(paths)) return SyncFileSystemOf(paths[0].substr(0, paths[0].rfind('/') + 1));
  }
  std::atomic<size_t> next{0};
  std::atomic<bool> ok{true};
  auto work = [&] {
    for (size_t i; (i = next++) < paths.size();)
      if (!(i < open.size() && open[i] >= 0 ? ::fdatasync(open[i]) == 0 : SyncFile(paths[i]))) ok = false;
  };
  size_t helpers = std::min(kFlushThreads, paths.size() / kFilesPerThread);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < helpers; ++i) threads.emplace_back(work);
  work();
  for (std::thread& thread : threads) thread.join();
  return ok;
}

size_t FilesKeptOpen() {
  static const size_t kept = [] {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return size_t{0};
    if (limit.rlim_cur < limit.rlim_max) {
      rlimit raised{limit.rlim_max, limit.rlim_max};
      if (::setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
    }
    // Half at most, the rest for sockets and the program's own files.
    return std::min<size_t>(kMostKeptOpen, limit.rlim_cur == RLIM_INFINITY ? kMostKeptOpen : limit.rlim_cur / 2);
  }();
  return kept;
}

}  // namespace corvelle
