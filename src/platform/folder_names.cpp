#include "platform/folder_names.h"

#include <dirent.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <unordered_set>

#include "platform/paths.h"

namespace corvelle {
namespace {

// The names of one folder as stored, with a count per lower-cased name, since "a.out" and
// "A.OUT" can both exist.
struct NameIndex {
  dev_t device = 0;
  ino_t inode = 0;
  timespec mtime{};
  bool settled = false;  // read at least a clear tick after the folder's last change
  int watch = -1;        // inotify watch descriptor; -1 when the folder is not watched
  std::unordered_set<std::string> names;
  std::unordered_map<std::string, unsigned> lower;
  // Names that arrived since the folder's last look-up. No caller has seen them taken, so
  // their leaving again (a work file renamed to its final name) keeps the generation.
  std::unordered_set<std::string> unseen;
  std::uint64_t generation = 0;

  void Add(const std::string& name, bool seen) {
    if (!names.insert(name).second) return;
    ++lower[AsciiLower(name)];
    if (!seen) unseen.insert(name);
  }

  // True when the name was there and a look-up could have seen it.
  bool Remove(const std::string& name) {
    if (!names.erase(name)) return false;
    auto it = lower.find(AsciiLower(name));
    if (it != lower.end() && --it->second == 0) lower.erase(it);
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
  while (dirent* entry = ::readdir(dir.get())) {
    std::string_view name(entry->d_name);
    if (name != "." && name != "..") index.Add(std::string(name), true);
  }
  return indexes.find(key);
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
  if (it == indexes.end()) it = Read(key);
  if (it == indexes.end()) return nullptr;
  if (!it->second.unseen.empty()) it->second.unseen.clear();
  return &it->second;
}

}  // namespace

bool FolderHasNameIgnoringCase(const std::string& folder, std::string_view name) {
  std::lock_guard lock(index_mutex);
  NameIndex* index = ValidIndex(IndexKey(folder));
  return index && index->lower.count(AsciiLower(name)) != 0;
}

std::uint64_t FirstFreeIndexedName(const std::string& folder, std::uint64_t from, std::uint64_t limit,
                                   const std::function<std::string(std::uint64_t)>& name_of,
                                   std::uint64_t& generation) {
  std::lock_guard lock(index_mutex);
  NameIndex* index = ValidIndex(IndexKey(folder));
  generation = index ? index->generation : 0;
  if (!index) return from;
  std::uint64_t n = from;
  while (n < limit && index->lower.count(AsciiLower(name_of(n)))) ++n;
  return n;
}

std::uint64_t FolderNamesGeneration(const std::string& folder) {
  std::lock_guard lock(index_mutex);
  NameIndex* index = ValidIndex(IndexKey(folder));
  return index ? index->generation : 0;
}

void SetFolderWatchesForTest(bool enabled) {
  std::lock_guard lock(index_mutex);
  ForgetAll();
  watches_enabled = enabled;
}

}  // namespace corvelle
