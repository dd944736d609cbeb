#include "platform/paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <unordered_map>

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

// The lower-cased names of one folder, as they were when the folder had `mtime`. A count per
// name, since "a.out" and "A.OUT" can both exist.
struct NameIndex {
  dev_t device = 0;
  ino_t inode = 0;
  timespec mtime{};
  std::unordered_map<std::string, unsigned> names;
  std::uint64_t generation = 0;
};

// Enough for the folders one run works in; past that the cache starts over.
constexpr size_t kMaxIndexedFolders = 64;

std::mutex index_mutex;
std::unordered_map<std::string, NameIndex> indexes;
std::uint64_t last_generation = 0;

std::string IndexKey(std::string_view folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.remove_suffix(1);
  return folder.empty() ? std::string(".") : std::string(folder);
}

bool SameFolderState(const NameIndex& index, const struct stat& st) {
  return index.device == st.st_dev && index.inode == st.st_ino && index.mtime.tv_sec == st.st_mtim.tv_sec &&
         index.mtime.tv_nsec == st.st_mtim.tv_nsec;
}

void TakeFolderState(NameIndex& index, const struct stat& st) {
  index.device = st.st_dev;
  index.inode = st.st_ino;
  index.mtime = st.st_mtim;
}

// The index of the folder `key`, read afresh when the folder changed; nullptr when the folder
// cannot be read. The caller holds index_mutex.
NameIndex* ValidIndex(const std::string& key) {
  struct stat st {};
  auto it = indexes.find(key);
  if (!Stat(key, st) || !S_ISDIR(st.st_mode)) {
    if (it != indexes.end()) indexes.erase(it);
    return nullptr;
  }
  if (it != indexes.end() && SameFolderState(it->second, st)) return &it->second;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(key.c_str()), ::closedir);
  if (!dir) return nullptr;
  if (it == indexes.end()) {
    if (indexes.size() >= kMaxIndexedFolders) indexes.clear();
    it = indexes.emplace(key, NameIndex{}).first;
  }
  NameIndex& index = it->second;
  // The time is taken before reading: a change during the read shows as a newer time.
  TakeFolderState(index, st);
  index.names.clear();
  index.generation = ++last_generation;
  while (dirent* entry = ::readdir(dir.get())) {
    std::string_view name(entry->d_name);
    if (name != "." && name != "..") ++index.names[AsciiLower(name)];
  }
  return &index;
}

// An indexed folder as it stood just before one of this process's own changes in it.
struct FolderBefore {
  std::string key;
  bool indexed = false;
  struct stat st {};
};

FolderBefore BeforeChange(std::string_view path) {
  FolderBefore before;
  before.key = IndexKey(FolderPart(path));
  std::lock_guard lock(index_mutex);
  before.indexed = indexes.count(before.key) && Stat(before.key, before.st);
  return before;
}

struct NameChange {
  std::string_view name;
  int delta;  // +1 added, -1 removed, 0 replaced in place
};

// Applies this process's own change to the folder's index. When the folder had changed
// before ours as well, the index is dropped and read afresh on its next use.
void AfterChange(const FolderBefore& before, std::initializer_list<NameChange> changes) {
  if (!before.indexed) return;
  std::lock_guard lock(index_mutex);
  auto it = indexes.find(before.key);
  if (it == indexes.end()) return;
  struct stat now {};
  if (!SameFolderState(it->second, before.st) || !Stat(before.key, now)) {
    indexes.erase(it);
    return;
  }
  NameIndex& index = it->second;
  for (const NameChange& change : changes) {
    std::string name = AsciiLower(change.name);
    if (change.delta > 0) {
      ++index.names[name];
    } else if (change.delta < 0) {
      auto found = index.names.find(name);
      if (found != index.names.end() && --found->second == 0) index.names.erase(found);
      index.generation = ++last_generation;
    }
  }
  TakeFolderState(index, now);
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

// Copies a file to another file system: into a work file beside the target, flushed, then
// renamed to the target without replacing, so a crash never leaves a cut-off copy under
// the target's name. Only then is the source unlinked.
MoveResult CopyThenUnlink(const std::string& from, const std::string& to) {
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
  if (!SyncPath(FolderOf(to))) return MoveResult::kMoved;  // both copies stay: nothing lost
  // The copy is safe on disk; only now does the source go.
  if (::unlink(from.c_str()) == 0) SyncPath(FolderOf(from));
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
    bool is_folder = entry->d_type == DT_DIR, is_file = entry->d_type == DT_REG;
    if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
      struct stat st {};
      bool found = Stat(resolved + entry->d_name, st);
      is_folder = found && S_ISDIR(st.st_mode);
      is_file = found && S_ISREG(st.st_mode);
    }
    entries.push_back({std::string(name), is_folder, is_file});
  }
  return entries;
}

namespace {

MoveResult MoveWithoutIndex(const std::string& from, const std::string& to) {
  MoveResult result = RenameNoReplace(from, to);
  return (result == MoveResult::kFailed && errno == EXDEV) ? CopyThenUnlink(from, to) : result;
}

}  // namespace

MoveResult MoveNoReplace(const std::string& from, const std::string& to) {
  FolderBefore from_before = BeforeChange(from), to_before = BeforeChange(to);
  MoveResult result = MoveWithoutIndex(from, to);
  if (result != MoveResult::kMoved) return result;
  if (from_before.key == to_before.key) {
    AfterChange(from_before, {{NamePart(from), -1}, {NamePart(to), +1}});
  } else {
    AfterChange(from_before, {{NamePart(from), -1}});
    AfterChange(to_before, {{NamePart(to), +1}});
  }
  return result;
}

bool RemoveFile(const std::string& path) {
  FolderBefore before = BeforeChange(path);
  if (::unlink(path.c_str()) != 0) return false;
  AfterChange(before, {{NamePart(path), -1}});
  return true;
}

bool EntryExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && Lstat(path, st);
}

bool FolderHasNameIgnoringCase(const std::string& folder, std::string_view name) {
  std::lock_guard lock(index_mutex);
  NameIndex* index = ValidIndex(IndexKey(folder));
  return index && index->names.count(AsciiLower(name)) != 0;
}

std::uint64_t FirstFreeIndexedName(const std::string& folder, std::uint64_t from, std::uint64_t limit,
                                   const std::function<std::string(std::uint64_t)>& name_of,
                                   std::uint64_t& generation) {
  std::lock_guard lock(index_mutex);
  NameIndex* index = ValidIndex(IndexKey(folder));
  generation = index ? index->generation : 0;
  if (!index) return from;
  std::uint64_t n = from;
  while (n < limit && index->names.count(AsciiLower(name_of(n)))) ++n;
  return n;
}

std::uint64_t FolderNamesGeneration(const std::string& folder) {
  std::lock_guard lock(index_mutex);
  NameIndex* index = ValidIndex(IndexKey(folder));
  return index ? index->generation : 0;
}

bool GetFileIdentity(std::string_view path, FileIdentity& identity) {
  struct stat st {};
  if (path.empty() || !Stat(std::string(path), st)) return false;
  identity.device = st.st_dev;
  identity.inode = st.st_ino;
  return true;
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
  FolderBefore before = BeforeChange(path);
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, static_cast<mode_t>(mode));
  if (fd >= 0) AfterChange(before, {{NamePart(path), +1}});
  return fd;
}

bool WriteNewFile(const std::string& path, std::string_view data) {
  FolderBefore before = BeforeChange(path);
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
  AfterChange(before, {{NamePart(path), +1}});
  return SyncPath(FolderOf(path));
}

bool ReplaceFileAtomically(const std::string& path, std::string_view data, unsigned new_mode) {
  std::string folder = FolderPart(path);
  if (!folder.empty() && !MakeFolders(folder)) return false;
  FolderBefore before = BeforeChange(path);
  std::string temp = folder + "." + NamePart(path) + ".XXXXXX";
  int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  struct stat st {};
  bool existed = Stat(path, st);
  mode_t mode = existed ? (st.st_mode & 07777) : static_cast<mode_t>(new_mode);
  bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, data) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  // Replacing is the point here, so plain rename() is right.
  ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  AfterChange(before, {{NamePart(path), existed ? 0 : +1}});
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
