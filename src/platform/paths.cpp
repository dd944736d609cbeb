#include "platform/paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cerrno>
#include <memory>
#include <mutex>

namespace corvelle {
namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool Lstat(const std::string& path, struct stat& st) { return ::lstat(path.c_str(), &st) == 0; }

bool Stat(const std::string& path, struct stat& st) { return ::stat(path.c_str(), &st) == 0; }

std::mutex faults_mutex;
PathFaultsForTest faults;

PathFaultsForTest Faults() {
  std::lock_guard lock(faults_mutex);
  return faults;
}

std::string WithoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// The stored name in `folder` that equals `name` ignoring case; empty when none does.
std::string FindIgnoringCase(const std::string& folder, std::string_view name) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.empty() ? "." : folder.c_str()), ::closedir);
  if (!dir) return {};
  std::string best;
  while (dirent* entry = ::readdir(dir.get())) {
    std::string_view candidate(entry->d_name);
    if (candidate == "." || candidate == "..") continue;
    if (SameNameIgnoringCase(candidate, name) && (best.empty() || candidate < best)) best = candidate;
  }
  return best;
}


// Renames without replacing; a file system without RENAME_NOREPLACE gets link() and
// unlink(), which refuse an existing target too. errno tells why it failed.
MoveResult RenameNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
    return MoveResult::kMoved;
  if (errno == EINVAL || errno == ENOSYS) {
    if (::link(from.c_str(), to.c_str()) != 0) return errno == EEXIST ? MoveResult::kTargetExists : MoveResult::kFailed;
    ::unlink(from.c_str());
    return MoveResult::kMoved;
  }
  return errno == EEXIST ? MoveResult::kTargetExists : MoveResult::kFailed;
}

std::string FolderOf(const std::string& path) {
  std::string folder = FolderPart(path);
  return folder.empty() ? "." : folder;
}

}  // namespace

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;  // a write that takes nothing: no room
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

MoveResult CopyNoReplace(const std::string& from, const std::string& to, FolderFlush flush) {
  int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (in < 0) return MoveResult::kFailed;
  struct stat st {};
  if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(in);
    return MoveResult::kFailed;
  }
  std::string temp = FolderPart(to) + "." + NamePart(to) + ".XXXXXX";
  int out = ::mkstemp(temp.data());
  if (out < 0) {
    ::close(in);
    return MoveResult::kFailed;
  }
  bool ok = ::fchmod(out, st.st_mode & 07777) == 0;
  char buffer[1 << 16];
  while (ok) {
    ssize_t n = ::read(in, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    ok = WriteAll(out, std::string_view(buffer, static_cast<size_t>(n)));
  }
  ok = ok && ::fsync(out) == 0;
  ok = (::close(out) == 0) && ok;
  ::close(in);
  MoveResult published = ok ? RenameNoReplace(temp, to) : MoveResult::kFailed;
  if (published != MoveResult::kMoved) {
    ::unlink(temp.c_str());
    return published;
  }
  if (flush == FolderFlush::kNow && !SyncPath(FolderOf(to))) {
    ::unlink(to.c_str());
    SyncPath(FolderOf(to));
    return MoveResult::kFailed;
  }
  return MoveResult::kMoved;
}

namespace {

// Moves a file to another file system: a copy first, and the source goes only once that
// copy is safe on disk. A source that cannot go takes the copy back: one copy, and the
// caller told the truth.
MoveResult CopyThenUnlink(const std::string& from, const std::string& to) {
  MoveResult copied = CopyNoReplace(from, to);
  if (copied != MoveResult::kMoved) return copied;
  if (::unlink(from.c_str()) != 0) {
    ::unlink(to.c_str());
    SyncPath(FolderOf(to));
    return MoveResult::kFailed;
  }
  SyncPath(FolderOf(from));
  return MoveResult::kMoved;
}

// The file that `path` names once symbolic links at its last component are followed;
// "" for a chain longer than the kernel itself follows (a loop).
std::string FollowLinks(std::string path) {
  for (int hops = 0; hops <= 40; ++hops) {
    struct stat st {};
    if (!Lstat(path, st) || !S_ISLNK(st.st_mode)) return path;
    char target[PATH_MAX];
    ssize_t n = ::readlink(path.c_str(), target, sizeof target);
    if (n <= 0 || static_cast<size_t>(n) >= sizeof target) return {};
    std::string link(target, static_cast<size_t>(n));
    path = link[0] == '/' ? link : FolderPart(path) + link;
  }
  return {};
}

}  // namespace

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  return true;
}

bool LessIgnoringCase(std::string_view a, std::string_view b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    auto ca = static_cast<unsigned char>(LowerAscii(a[i]));
    auto cb = static_cast<unsigned char>(LowerAscii(b[i]));
    if (ca != cb) return ca < cb;
  }
  return a.size() < b.size();
}

bool StartsWithIgnoringCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && SameNameIgnoringCase(s.substr(0, prefix.size()), prefix);
}

std::string AsciiLower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = LowerAscii(c);
  return out;
}

namespace {

// Resolves `rest` below the already resolved `result`, one component at a time: a component
// missing as spelled takes the stored name that equals it ignoring case.
std::string ResolveBelow(std::string result, std::string_view rest) {
  size_t pos = 0;
  bool resolving = true;
  while (pos < rest.size()) {
    size_t slash = rest.find('/', pos);
    std::string_view component = rest.substr(pos, slash == std::string_view::npos ? rest.npos : slash - pos);
    pos = slash == std::string_view::npos ? rest.size() : slash + 1;
    if (component.empty()) continue;  // "a//b" is "a/b"
    std::string name(component);
    if (resolving && component != "." && component != "..") {
      struct stat st {};
      if (!Lstat(result + name, st)) {
        std::string stored = FindIgnoringCase(result, component);
        if (stored.empty())
          resolving = false;  // nothing below a missing folder can exist
        else
          name = stored;
      }
    }
    result += name;
    if (slash != std::string_view::npos) result += '/';
  }
  return result;
}

std::string CollapseSlashes(std::string_view path) {
  std::string collapsed;
  collapsed.reserve(path.size());
  for (char c : path)
    if (c != '/' || collapsed.empty() || collapsed.back() != '/') collapsed += c;
  return collapsed;
}

}  // namespace

std::string ResolvePath(std::string_view path) {
  // Nearly every path exists as spelled, or names a new entry in a folder that does: one or
  // two lstat calls then, instead of one per component.
  std::string spelled = CollapseSlashes(path);
  struct stat st {};
  if (spelled.empty() || Lstat(spelled, st)) return spelled;
  std::string_view trimmed = std::string_view(spelled).substr(0, spelled.size() - (spelled.back() == '/'));
  size_t slash = trimmed.rfind('/');
  std::string_view last = trimmed.substr(slash == std::string_view::npos ? 0 : slash + 1);
  if (slash != std::string_view::npos && slash > 0 && last != "." && last != ".." &&
      Lstat(spelled.substr(0, slash + 1), st))
    return ResolveBelow(spelled.substr(0, slash + 1), std::string_view(spelled).substr(slash + 1));
  bool absolute = spelled[0] == '/';
  return ResolveBelow(absolute ? "/" : "", std::string_view(spelled).substr(absolute ? 1 : 0));
}

bool PathExists(std::string_view path) {
  struct stat st {};
  return !path.empty() && Lstat(ResolvePath(path), st);
}

bool FolderExists(std::string_view path) {
  struct stat st {};
  return !path.empty() && Stat(ResolvePath(path), st) && S_ISDIR(st.st_mode);
}

bool FileExists(std::string_view path) {
  struct stat st {};
  return !path.empty() && Stat(ResolvePath(path), st) && !S_ISDIR(st.st_mode);
}

bool MakeFolders(std::string_view path) {
  std::string resolved = ResolvePath(path);
  // Make each missing prefix in turn, from the top.
  for (size_t slash = resolved.find('/', 1); ; slash = resolved.find('/', slash + 1)) {
    std::string prefix = resolved.substr(0, slash);
    if (!prefix.empty() && ::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  struct stat st {};
  return Stat(resolved, st) && S_ISDIR(st.st_mode);
}

bool ForEachFolderEntry(std::string_view folder, const std::function<void(FolderEntry&)>& visit) {
  std::string resolved = ResolvePath(folder);
  if (resolved.empty()) resolved = ".";
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(resolved.c_str()), ::closedir);
  if (!dir) return false;
  if (resolved.back() != '/') resolved += '/';
  FolderEntry entry;
  while (dirent* found = ::readdir(dir.get())) {
    std::string_view name(found->d_name);
    if (name == "." || name == "..") continue;
    entry.is_folder = found->d_type == DT_DIR;
    entry.is_file = found->d_type == DT_REG;
    if (found->d_type == DT_UNKNOWN || found->d_type == DT_LNK) {
      struct stat st {};
      bool exists = Stat(resolved + found->d_name, st);
      entry.is_folder = exists && S_ISDIR(st.st_mode);
      entry.is_file = exists && S_ISREG(st.st_mode);
    }
    entry.name.assign(name);
    visit(entry);
  }
  return true;
}

std::vector<FolderEntry> ReadFolder(std::string_view folder) {
  std::vector<FolderEntry> entries;
  ForEachFolderEntry(folder, [&entries](FolderEntry& entry) { entries.push_back(std::move(entry)); });
  return entries;
}

MoveResult MoveNoReplace(const std::string& from, const std::string& to) {
  if (Faults().cross_device) return CopyThenUnlink(from, to);
  MoveResult result = RenameNoReplace(from, to);
  return (result == MoveResult::kFailed && errno == EXDEV) ? CopyThenUnlink(from, to) : result;
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool EntryExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && Lstat(path, st);
}

bool GetFileIdentity(std::string_view path, FileIdentity& identity) {
  struct stat st {};
  if (path.empty() || !Stat(std::string(path), st)) return false;
  identity.device = st.st_dev;
  identity.inode = st.st_ino;
  return true;
}

bool SyncPath(const std::string& path) {
  if (std::string failing = Faults().failing_sync; !failing.empty() && WithoutTrailingSlashes(path) == failing)
    return false;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

bool ReadWholeFile(std::string_view path, std::string& out) {
  out.clear();
  // Non-blocking, so that a FIFO cannot hold the program at open(); only regular files are
  // read (a device such as /dev/zero would never end).
  int fd = ::open(ResolvePath(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return false;
  }
  if (st.st_size > 0) out.reserve(static_cast<size_t>(st.st_size));
  char buffer[1 << 16];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      out.clear();
      return false;
    }
    if (n == 0) break;
    out.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return true;
}

int CreateNewFile(const std::string& path, unsigned mode) {
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(mode));
}

bool WriteNewFile(const std::string& path, std::string_view data) {
  // Written and flushed under a work name, then renamed without replacing: a crash never
  // leaves a cut-off file under the real name, and a file that appeared meanwhile stays.
  std::string temp = FolderPart(path) + "." + NamePart(path) + ".XXXXXX";
  int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  bool ok = WriteAll(fd, data) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  ok = ok && RenameNoReplace(temp, path) == MoveResult::kMoved;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  return SyncPath(FolderOf(path));
}

bool ReplaceFileAtomically(const std::string& link, std::string_view data, unsigned new_mode, bool keep_old_mode) {
  std::string path = FollowLinks(link);
  if (path.empty()) return false;
  std::string folder = FolderPart(path);
  if (!folder.empty() && !MakeFolders(folder)) return false;
  std::string temp = folder + "." + NamePart(path) + ".XXXXXX";
  int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  struct stat st {};
  bool existed = Stat(path, st);
  mode_t mode = existed && keep_old_mode ? (st.st_mode & 07777) : static_cast<mode_t>(new_mode);
  bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, data) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  // Replacing is the point here, so plain rename() is right.
  ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  return SyncPath(FolderOf(path));
}

void SetPathFaultsForTest(PathFaultsForTest new_faults) {
  new_faults.failing_sync = new_faults.failing_sync.empty() ? "" : WithoutTrailingSlashes(new_faults.failing_sync);
  std::lock_guard lock(faults_mutex);
  faults = std::move(new_faults);
}

std::string FolderPart(std::string_view path) {
  size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string NamePart(std::string_view path) {
  size_t slash = path.rfind('/');
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

}  // namespace corvelle
