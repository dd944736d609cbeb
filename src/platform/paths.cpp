#include "platform/paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

namespace corvelle {
namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool Lstat(const std::string& path, struct stat& st) { return ::lstat(path.c_str(), &st) == 0; }

bool Stat(const std::string& path, struct stat& st) { return ::stat(path.c_str(), &st) == 0; }

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

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// Copies a file to a target that must not exist, flushes it, then unlinks the source.
MoveResult CopyThenUnlink(const std::string& from, const std::string& to) {
  int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return MoveResult::kFailed;
  struct stat st {};
  ::fstat(in, &st);
  int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777);
  if (out < 0) {
    int error = errno;
    ::close(in);
    return error == EEXIST ? MoveResult::kTargetExists : MoveResult::kFailed;
  }
  bool ok = true;
  char buffer[1 << 16];
  for (;;) {
    ssize_t n = ::read(in, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    if (!WriteAll(out, std::string_view(buffer, static_cast<size_t>(n)))) {
      ok = false;
      break;
    }
  }
  ok = ok && ::fsync(out) == 0;
  ok = (::close(out) == 0) && ok;
  ::close(in);
  ok = ok && SyncPath(FolderPart(to).empty() ? "." : FolderPart(to));
  if (!ok) {
    ::unlink(to.c_str());
    return MoveResult::kFailed;
  }
  // The copy is safe on disk; only now does the source go.
  if (::unlink(from.c_str()) != 0) return MoveResult::kMoved;
  SyncPath(FolderPart(from).empty() ? "." : FolderPart(from));
  return MoveResult::kMoved;
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

std::string AsciiLower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = LowerAscii(c);
  return out;
}

std::string ResolvePath(std::string_view path) {
  std::string result;
  size_t pos = 0;
  if (!path.empty() && path[0] == '/') {
    result = "/";
    pos = 1;
  }
  bool resolving = true;
  while (pos < path.size()) {
    size_t slash = path.find('/', pos);
    std::string_view component = path.substr(pos, slash == std::string_view::npos ? path.npos : slash - pos);
    pos = slash == std::string_view::npos ? path.size() : slash + 1;
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
    if (!prefix.empty() && ::mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  struct stat st {};
  return Stat(resolved, st) && S_ISDIR(st.st_mode);
}

std::vector<FolderEntry> ReadFolder(std::string_view folder) {
  std::vector<FolderEntry> entries;
  std::string resolved = ResolvePath(folder);
  if (resolved.empty()) resolved = ".";
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(resolved.c_str()), ::closedir);
  if (!dir) return entries;
  if (resolved.back() != '/') resolved += '/';
  while (dirent* entry = ::readdir(dir.get())) {
    std::string_view name(entry->d_name);
    if (name == "." || name == "..") continue;
    bool is_folder = entry->d_type == DT_DIR;
    if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
      struct stat st {};
      is_folder = Stat(resolved + entry->d_name, st) && S_ISDIR(st.st_mode);
    }
    entries.push_back({std::string(name), is_folder});
  }
  return entries;
}

MoveResult MoveNoReplace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
    return MoveResult::kMoved;
  switch (errno) {
    case EEXIST:
      return MoveResult::kTargetExists;
    case EXDEV:
      return CopyThenUnlink(from, to);
    case EINVAL:
    case ENOSYS:
      // A file system without RENAME_NOREPLACE: link() also refuses an existing target.
      if (::link(from.c_str(), to.c_str()) != 0)
        return errno == EEXIST ? MoveResult::kTargetExists
               : errno == EXDEV ? CopyThenUnlink(from, to)
                                : MoveResult::kFailed;
      ::unlink(from.c_str());
      return MoveResult::kMoved;
    default:
      return MoveResult::kFailed;
  }
}

bool SyncPath(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

bool ReadWholeFile(std::string_view path, std::string& out) {
  out.clear();
  int fd = ::open(ResolvePath(path).c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
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

bool WriteNewFile(const std::string& path, std::string_view data) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, data) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  std::string folder = FolderPart(path);
  ok = ok && SyncPath(folder.empty() ? "." : folder);
  if (!ok) ::unlink(path.c_str());
  return ok;
}

bool ReplaceFileAtomically(const std::string& path, std::string_view data, unsigned new_mode) {
  std::string folder = FolderPart(path);
  if (!folder.empty() && !MakeFolders(folder)) return false;
  std::string temp = folder + "." + NamePart(path) + ".XXXXXX";
  int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  struct stat st {};
  mode_t mode = Stat(path, st) ? (st.st_mode & 07777) : static_cast<mode_t>(new_mode);
  bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, data) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  // Replacing is the point here, so plain rename() is right.
  ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  return SyncPath(folder.empty() ? "." : folder);
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
