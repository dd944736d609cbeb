#include "platform/folder_names.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdlib>
#include <deque>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/paths.h"

namespace corvelle {
namespace {

// A lower-cased name as a 64-bit hash.
std::uint64_t LowerHash(std::string_view name) {
  char buffer[256];
  std::string long_name;
  char* lower = buffer;
  if (name.size() > sizeof buffer) {
    long_name.resize(name.size());
    lower = long_name.data();
  }
  for (size_t i = 0; i < name.size(); ++i)
    lower[i] = (name[i] >= 'A' && name[i] <= 'Z') ? static_cast<char>(name[i] - 'A' + 'a') : name[i];
  return std::hash<std::string_view>{}(std::string_view(lower, name.size()));
}

// The names of one folder, kept as hashes of their lower-cased forms with a count each, since
// "a.out" and "A.OUT" can both exist: a folder of 100,000 names costs under a megabyte, not two
// copies of every name. A count may run high (a name counted twice, two names sharing a hash),
// never low, so a name found free is free; a false "taken" costs a numbered variant at most.
struct NameIndex {
  dev_t device = 0;
  ino_t inode = 0;
  timespec mtime{};
  bool settled = false;  // read at least a clear tick after the folder's last change
  bool reading = false;  // its read is going on: a name leaving may not have been read
  int watch = -1;        // inotify watch descriptor; -1 when the folder is not watched
  // The hashes of the names read, sorted. A deque grows without copying, so that folding the
  // changes in (below) never holds the folder's hashes twice.
  std::deque<std::uint64_t> read;
  std::unordered_map<std::uint64_t, long> changed;  // names that came (+) and went (-) since
  // A map node costs five times a sorted hash: past this share of `read`, the changes are
  // folded into it, so that a folder filled by a run (an import) costs 8 bytes a name.
  static constexpr size_t kFoldShare = 16, kFoldAtLeast = 4096;
  // Names that arrived since the folder's last look-up. No caller has seen them taken, so
  // their leaving again (a work file renamed to its final name) keeps the generation.
  std::unordered_set<std::string> unseen;
  std::uint64_t generation = 0;

  long Count(std::uint64_t hash) const {
    auto [first, last] = std::equal_range(read.begin(), read.end(), hash);
    auto it = changed.find(hash);
    return (last - first) + (it == changed.end() ? 0 : it->second);
  }

  bool Has(std::string_view name) const { return Count(LowerHash(name)) > 0; }

  void Add(const std::string& name, bool seen) {
    ++changed[LowerHash(name)];
    if (!seen) unseen.insert(name);
    FoldWhenLarge();
  }

  // Applies the changes to `read`, which then holds every name counted.
  void Fold() {
    std::vector<std::uint64_t> came, gone;
    for (const auto& [hash, change] : changed)
      for (long i = 0; i < std::abs(change); ++i) (change > 0 ? came : gone).push_back(hash);
    changed = {};
    std::sort(came.begin(), came.end());
    std::sort(gone.begin(), gone.end());
    const size_t old_size = read.size();
    read.insert(read.end(), came.begin(), came.end());
    std::inplace_merge(read.begin(), read.begin() + static_cast<std::ptrdiff_t>(old_size), read.end());
    // One pass takes each name gone off once (a count never runs below zero).
    auto next = gone.begin();
    read.erase(std::remove_if(read.begin(), read.end(),
                              [&](std::uint64_t hash) {
                                while (next != gone.end() && *next < hash) ++next;
                                return next != gone.end() && *next == hash && (++next, true);
                              }),
               read.end());
  }

  void FoldWhenLarge() {
    if (changed.size() > std::max(kFoldAtLeast, read.size() / kFoldShare)) Fold();
  }

  // True when a look-up could have seen the name. A name that leaves while the folder is
  // read stays counted: the read may not have counted it.
  bool Remove(const std::string& name) {
    std::uint64_t hash = LowerHash(name);
    if (!reading && Count(hash) > 0) --changed[hash];
    FoldWhenLarge();
    return unseen.erase(name) == 0;
  }
};

using Indexes = std::unordered_map<std::string, NameIndex>;

// Enough for the folders one run works in; past that the cache starts over.
constexpr size_t kMaxIndexedFolders = 64;
constexpr std::uint32_t kWatchedEvents = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ONLYDIR;

std::mutex index_mutex;
Indexes indexes;
std::unordered_map<int, std::string> watched;  // watch descriptor -> key of its index
int inotify_fd = -2;                            // -2 not opened yet, -1 unavailable
bool watches_enabled = true;
std::uint64_t last_generation = 0;

std::string IndexKey(std::string_view folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.remove_suffix(1);
  return folder.empty() ? std::string(".") : std::string(folder);
}

long long Nanos(const timespec& t) { return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec; }

// A folder's time comes from the kernel's coarse clock: every change within one tick gets
// the same time. Two ticks leave room for a time read just before the tick moved on.
long long SettleNanos() {
  static const long long settle = [] {
    timespec tick{0, 10000000};  // 10 ms where the coarse clock does not say
    ::clock_getres(CLOCK_REALTIME_COARSE, &tick);
    return 2 * Nanos(tick);
  }();
  return settle;
}

bool SameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

void Forget(Indexes::iterator it) {
  if (it->second.watch >= 0) {
    ::inotify_rm_watch(inotify_fd, it->second.watch);
    watched.erase(it->second.watch);
  }
  indexes.erase(it);
}

void ForgetAll() {
  while (!indexes.empty()) Forget(indexes.begin());
}

void Apply(const inotify_event& event) {
  if (event.mask & IN_Q_OVERFLOW) {
    ForgetAll();  // events were lost: every folder is read afresh
    return;
  }
  auto key = watched.find(event.wd);
  if (key == watched.end()) return;  // a watch forgotten already
  auto it = indexes.find(key->second);
  if (it == indexes.end()) return;
  if (event.mask & IN_IGNORED) {
    Forget(it);  // the folder is gone, or its file system
    return;
  }
  if (event.len == 0) return;
  std::string name(event.name);
  if (event.mask & (IN_CREATE | IN_MOVED_TO)) {
    it->second.Add(name, false);
  } else if (it->second.Remove(name)) {
    it->second.generation = ++last_generation;
  }
}

// Applies every change the kernel reported since the last call.
void Drain() {
  if (inotify_fd < 0) return;
  alignas(inotify_event) char buffer[16384];
  for (;;) {
    ssize_t n = ::read(inotify_fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    for (char* p = buffer; p < buffer + n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(p);
      p += sizeof(inotify_event) + event->len;
      Apply(*event);
    }
    // Room left for the largest event: the queue was empty, no second read needed to see it.
    if (static_cast<size_t>(n) + sizeof(inotify_event) + NAME_MAX + 1 <= sizeof buffer) return;
  }
}

// A folder of many names is read at the next run from the hashes saved at the end of this
// one, while its change time is the one saved: no program can set that time, and a change
// after the save leaves another, since the save waits until the time is a clear tick old.
// A saved file that does not check out is not used; the folder is read instead.
constexpr size_t kSavedNames = 1000;  // fewer are read faster than a saved file
constexpr std::uint64_t kSavedMagic = 0x32656d616e766f63ull;

struct SavedHeader {
  std::uint64_t magic = kSavedMagic, device = 0, inode = 0;
  std::int64_t ctime_sec = 0, ctime_nsec = 0, mtime_sec = 0, mtime_nsec = 0;
  std::uint64_t count = 0, check = 0;
};

SavedHeader HeaderFor(const struct stat& st) {
  SavedHeader header;
  header.device = st.st_dev;
  header.inode = st.st_ino;
  header.ctime_sec = st.st_ctim.tv_sec;
  header.ctime_nsec = st.st_ctim.tv_nsec;
  header.mtime_sec = st.st_mtim.tv_sec;
  header.mtime_nsec = st.st_mtim.tv_nsec;
  return header;
}

bool SameStamp(const SavedHeader& a, const SavedHeader& b) {
  return a.magic == b.magic && a.device == b.device && a.inode == b.inode && a.ctime_sec == b.ctime_sec &&
         a.ctime_nsec == b.ctime_nsec && a.mtime_sec == b.mtime_sec && a.mtime_nsec == b.mtime_nsec;
}

// FNV-1a over the hashes, one at a time, so that they can be checked as they stream.
std::uint64_t Check(const std::deque<std::uint64_t>& hashes) {
  std::uint64_t check = 14695981039346656037ull;
  for (std::uint64_t hash : hashes) check = (check ^ hash) * 1099511628211ull;
  return check;
}

// The folder of saved indexes; "" without a home.
std::string SavedFolder() {
  const char* cache = std::getenv("XDG_CACHE_HOME");
  if (cache && cache[0] == '/') return std::string(cache) + "/corvelle/folder-names/";
  const char* home = std::getenv("HOME");
  return (home && home[0] == '/') ? std::string(home) + "/.cache/corvelle/folder-names/" : std::string();
}

std::string SavedPath(const struct stat& st) {
  std::string folder = SavedFolder();
  if (folder.empty()) return folder;
  return folder + std::to_string(st.st_dev) + "-" + std::to_string(st.st_ino);
}

bool ReadFully(int fd, void* data, size_t size) {
  auto* p = static_cast<char*>(data);
  while (size > 0) {
    ssize_t n = ::read(fd, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

constexpr size_t kHashesAtOnce = 8192;  // read and written a piece at a time

// The saved hashes of the folder `st` describes, into `read`; false when none fit.
bool LoadSaved(const struct stat& st, std::deque<std::uint64_t>& read) {
  std::string path = SavedPath(st);
  int fd = path.empty() ? -1 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  SavedHeader header;
  bool ok = ReadFully(fd, &header, sizeof header) && SameStamp(header, HeaderFor(st)) && header.count < (1u << 28);
  std::vector<std::uint64_t> piece;
  for (std::uint64_t left = header.count; ok && left > 0; left -= piece.size()) {
    piece.resize(std::min<std::uint64_t>(left, kHashesAtOnce));
    ok = ReadFully(fd, piece.data(), piece.size() * sizeof(std::uint64_t));
    read.insert(read.end(), piece.begin(), piece.end());
  }
  ::close(fd);
  ok = ok && Check(read) == header.check && std::is_sorted(read.begin(), read.end());
  if (!ok) read.clear();
  return ok;
}

// True when the index saved for the folder `st` describes has its stamp already.
bool SavedAlready(const struct stat& st) {
  std::string path = SavedPath(st);
  int fd = path.empty() ? -1 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  SavedHeader header;
  bool same = ReadFully(fd, &header, sizeof header) && SameStamp(header, HeaderFor(st));
  ::close(fd);
  return same;
}

void WriteSaved(const struct stat& st, const std::deque<std::uint64_t>& hashes) {
  std::string path = SavedPath(st);
  if (path.empty() || SavedAlready(st) || !MakeFolders(SavedFolder())) return;
  SavedHeader header = HeaderFor(st);
  header.count = hashes.size();
  header.check = Check(hashes);
  std::string temp = path + "." + std::to_string(::getpid());
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return;
  auto bytes = [](const void* data, size_t size) { return std::string_view(static_cast<const char*>(data), size); };
  bool ok = WriteAll(fd, bytes(&header, sizeof header));
  std::vector<std::uint64_t> piece;
  for (auto it = hashes.begin(); ok && it != hashes.end();) {
    auto end = it + static_cast<std::ptrdiff_t>(std::min<size_t>(hashes.end() - it, kHashesAtOnce));
    piece.assign(it, end);
    ok = WriteAll(fd, bytes(piece.data(), piece.size() * sizeof(std::uint64_t)));
    it = end;
  }
  ok = (::close(fd) == 0) && ok;
  // A saved index is only ever a copy: replacing the older one is what it is for.
  if (!ok || ::rename(temp.c_str(), path.c_str()) != 0) ::unlink(temp.c_str());
}

// Saves the index of `key` once the folder's change time is a clear tick old (waiting a
// tick or two for that), with every change the kernel reported up to then.
void Save(const std::string& key) {
  for (int tries = 0; tries < 3; ++tries) {
    struct stat st {};
    if (::stat(key.c_str(), &st) != 0) return;
    Drain();
    auto it = indexes.find(key);
    timespec now{};
    if (it == indexes.end() || it->second.watch < 0 || it->second.device != st.st_dev ||
        it->second.inode != st.st_ino || ::clock_gettime(CLOCK_REALTIME, &now) != 0)
      return;
    long long wait = Nanos(st.st_ctim) + SettleNanos() - Nanos(now);
    if (wait <= 0) {
      it->second.Fold();
      if (it->second.read.size() >= kSavedNames) WriteSaved(st, it->second.read);
      return;
    }
    if (wait > 2 * SettleNanos()) return;  // a time in the future
    timespec pause{0, static_cast<long>(wait)};
    ::nanosleep(&pause, nullptr);
  }
}

int Watch(const std::string& key) {
  if (!watches_enabled) return -1;
  if (inotify_fd == -2) inotify_fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (inotify_fd < 0) return -1;
  int wd = ::inotify_add_watch(inotify_fd, key.c_str(), kWatchedEvents);
  if (wd < 0) return -1;
  auto [it, added] = watched.emplace(wd, key);
  return (added || it->second == key) ? wd : -1;  // the same folder under another path keeps it
}

// Reads the folder `key` into a new index. The watch comes first and the time before the
// names, so that no change during the read goes unnoticed.
Indexes::iterator Read(const std::string& key) {
  if (indexes.size() >= kMaxIndexedFolders) ForgetAll();
  int wd = Watch(key);
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(key.c_str()), ::closedir);
  struct stat st {};
  timespec now{};
  if (!dir || ::fstat(::dirfd(dir.get()), &st) != 0 || ::clock_gettime(CLOCK_REALTIME, &now) != 0) {
    if (wd >= 0) {
      ::inotify_rm_watch(inotify_fd, wd);
      watched.erase(wd);
    }
    return indexes.end();
  }
  NameIndex& index = indexes[key];
  index.watch = wd;
  index.device = st.st_dev;
  index.inode = st.st_ino;
  index.mtime = st.st_mtim;
  index.settled = Nanos(now) - Nanos(st.st_mtim) > SettleNanos();
  index.generation = ++last_generation;
  index.reading = true;
  if (!LoadSaved(st, index.read)) {
    while (dirent* entry = ::readdir(dir.get())) {
      std::string_view name(entry->d_name);
      if (name != "." && name != "..") index.read.push_back(LowerHash(name));
    }
    std::sort(index.read.begin(), index.read.end());
  }
  // What changed during the read counts now, while leaving names are not taken off.
  Drain();
  auto it = indexes.find(key);
  if (it != indexes.end()) it->second.reading = false;
  return it;
}

bool Current(const NameIndex& index, const struct stat& st) {
  if (index.device != st.st_dev || index.inode != st.st_ino) return false;
  return index.watch >= 0 || (index.settled && SameTime(index.mtime, st.st_mtim));
}

// The index of the folder `key`, current as of now; nullptr when the folder cannot be read.
// The caller holds index_mutex.
NameIndex* ValidIndex(const std::string& key) {
  Drain();
  struct stat st {};
  auto it = indexes.find(key);
  bool is_folder = ::stat(key.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  if (it != indexes.end() && !(is_folder && Current(it->second, st))) {
    Forget(it);
    it = indexes.end();
  }
  if (!is_folder) return nullptr;
  // A read that lost the kernel's events (a full queue) is read again.
  for (int tries = 0; it == indexes.end() && tries < 3; ++tries) it = Read(key);
  if (it == indexes.end()) return nullptr;
  if (!it->second.unseen.empty()) it->second.unseen.clear();
  return &it->second;
}

}  // namespace

bool FolderHasNameIgnoringCase(const std::string& folder, std::string_view name) {
  std::lock_guard lock(index_mutex);
  NameIndex* index = ValidIndex(IndexKey(folder));
  return index && index->Has(name);
}

std::uint64_t FirstFreeIndexedName(const std::string& folder, std::uint64_t from, std::uint64_t limit,
                                   const std::function<std::string(std::uint64_t)>& name_of,
                                   std::uint64_t& generation) {
  std::lock_guard lock(index_mutex);
  NameIndex* index = ValidIndex(IndexKey(folder));
  generation = index ? index->generation : 0;
  if (!index) return from;
  std::uint64_t n = from;
  while (n < limit && index->Has(name_of(n))) ++n;
  return n;
}

std::uint64_t FolderNamesGeneration(const std::string& folder) {
  std::lock_guard lock(index_mutex);
  NameIndex* index = ValidIndex(IndexKey(folder));
  return index ? index->generation : 0;
}

void SaveFolderNames() {
  std::lock_guard lock(index_mutex);
  std::vector<std::string> keys;
  for (const auto& [key, index] : indexes)
    if (index.watch >= 0 && index.read.size() + index.changed.size() >= kSavedNames) keys.push_back(key);
  for (const std::string& key : keys) Save(key);
}

void SetFolderWatchesForTest(bool enabled) {
  std::lock_guard lock(index_mutex);
  ForgetAll();
  watches_enabled = enabled;
}

}  // namespace corvelle
