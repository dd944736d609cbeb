#include "core/search/message_search.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "core/search/caseless_finder.h"
#include "core/search/search_folders.h"
#include "core/search/search_text.h"
#include "core/store/folder_files.h"
#include "core/store/mail_store.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

constexpr size_t kUnreadablePathsKept = 20;

struct FileJob {
  size_t folder = 0;  // index into the folder list
  std::string name;
};

// The folder a searching thread reads in, open, so that each file is opened by its name
// alone rather than by walking its whole path again.
class OpenFolder {
 public:
  ~OpenFolder() { Close(); }
  // The descriptor of `path`, opened when it is not the one open; -1 when it cannot be.
  int Use(size_t index, const std::string& path) {
    if (index != index_) {
      Close();
      fd_ = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      index_ = index;
    }
    return fd_;
  }

 private:
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  size_t index_ = static_cast<size_t>(-1);
  int fd_ = -1;
};

// Reads the regular file `name` of the open folder `folder` whole into `out`, reusing its
// storage: one read of the size fstat tells (a file that grows meanwhile is read as it
// was). Non-blocking, so that a FIFO cannot hold the search at open().
bool ReadMessageFile(int folder, const std::string& name, std::string& out) {
  out.clear();
  int fd = folder < 0 ? -1 : ::openat(folder, name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  size_t used = 0;
  if (ok) out.resize(static_cast<size_t>(st.st_size));
  while (ok && used < out.size()) {
    ssize_t n = ::read(fd, out.data() + used, out.size() - used);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;  // cut short: the file shrank
      break;
    }
    used += static_cast<size_t>(n);
  }
  ::close(fd);
  out.resize(ok ? used : 0);
  return ok;
}

std::string FolderText(const MailStore& store, const std::string& path) {
  std::string text = StartsWithIgnoringCase(path, store.Root()) && !store.Root().empty()
                         ? path.substr(store.Root().size())
                         : path;
  if (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}

// The folders' files are listed on the calling thread while the helpers already search
// those listed, then the calling thread searches too.
class SearchRun {
 public:
  SearchRun(const MailStore& store, const SearchRequest& request, const std::atomic<bool>& cancel,
            const SearchSinks& sinks)
      : store_(store), text_(request.text), cancel_(cancel), sinks_(sinks), folders_(SearchFolders(store, request.folders)) {}

  SearchSummary Run(int threads) {
    std::vector<std::thread> helpers;
    for (int i = 1; i < threads; ++i) helpers.emplace_back([this] { Work(); });
    List();
    Work();
    for (std::thread& helper : helpers) helper.join();
    summary_.searched = searched_;
    summary_.cancelled = Cancelled();
    return summary_;
  }

 private:
  bool Cancelled() const { return cancel_.load(std::memory_order_relaxed); }

  void List() {
    for (size_t folder = 0; folder < folders_.size() && !Cancelled(); ++folder) {
      std::vector<FileJob> listed;
      for (FolderEntry& entry : ReadFolder(folders_[folder]))
        if (entry.is_file && !IsHiddenName(entry.name)) listed.push_back({folder, std::move(entry.name)});
      std::lock_guard lock(jobs_mutex_);
      jobs_.insert(jobs_.end(), std::make_move_iterator(listed.begin()), std::make_move_iterator(listed.end()));
      listed_ready_.notify_all();
    }
    std::lock_guard lock(jobs_mutex_);
    listed_all_ = true;
    listed_ready_.notify_all();
  }

  // The next file to search, waiting for the listing when it is behind; false when none is left.
  bool Take(FileJob& job) {
    std::unique_lock lock(jobs_mutex_);
    listed_ready_.wait(lock, [this] { return next_ < jobs_.size() || listed_all_; });
    if (next_ >= jobs_.size() || Cancelled()) return false;
    job = std::move(jobs_[next_++]);
    return true;
  }

  void Work() {
    std::string bytes;
    OpenFolder open_folder;
    FileJob job;
    while (Take(job)) {
      AnnounceFolder(job.folder);
      bool read = false;
      try {
        read = ReadMessageFile(open_folder.Use(job.folder, folders_[job.folder]), job.name, bytes);
        if (read) Search(job, bytes);
      } catch (const std::exception&) {  // a file too big to hold counts as unreadable
        read = false;
      }
      if (read)
        ++searched_;
      else
        NoteUnreadable(folders_[job.folder] + job.name);
    }
  }

  void Search(const FileJob& job, std::string_view bytes) {
    SearchHit hit;
    if (!SearchMessageBytes(bytes, text_, &cancel_, hit) || Cancelled()) return;
    hit.path = folders_[job.folder] + job.name;
    hit.folder = FolderText(store_, folders_[job.folder]);
    std::lock_guard lock(sink_mutex_);
    ++summary_.found;
    if (sinks_.hit) sinks_.hit(hit);
  }

  // Tells of each folder once, when its first file is taken.
  void AnnounceFolder(size_t folder) {
    if (announced_ == folder) return;  // the common case, without the lock
    std::lock_guard lock(sink_mutex_);
    if (announced_ != kNone && announced_ >= folder) return;
    announced_ = folder;
    if (sinks_.folder) sinks_.folder(FolderText(store_, folders_[folder]));
  }

  void NoteUnreadable(const std::string& path) {
    std::lock_guard lock(sink_mutex_);
    ++summary_.unreadable;
    if (summary_.unreadable_paths.size() < kUnreadablePathsKept) summary_.unreadable_paths.push_back(path);
  }

  static constexpr size_t kNone = static_cast<size_t>(-1);
  const MailStore& store_;
  SearchText text_;
  const std::atomic<bool>& cancel_;
  const SearchSinks& sinks_;
  const std::vector<std::string> folders_;
  std::mutex jobs_mutex_;  // guards the three below
  std::vector<FileJob> jobs_;
  size_t next_ = 0;
  bool listed_all_ = false;
  std::condition_variable listed_ready_;
  std::atomic<size_t> searched_{0};
  std::mutex sink_mutex_;
  std::atomic<size_t> announced_{kNone};
  SearchSummary summary_;
};

}  // namespace

bool SearchMessageBytes(std::string_view bytes, const SearchText& text, const std::atomic<bool>* cancel,
                        SearchHit& hit) {
  if (text.Empty()) return false;
  thread_local std::string lowered;
  if (!LowerAscii(bytes, lowered, cancel)) return false;
  // Raw bytes that do not hold the text leave encoded text, and folded header fields for a
  // text with a blank, to be looked at; the body is then known not to hold it unless encoded.
  bool header_only = false;
  if (!text.InLowered(lowered) && !NeedsDecoding(bytes, lowered, text)) {
    if (!text.HasBlank() || !HasFoldedHeader(bytes)) return false;
    header_only = true;
  }
  MessageFields fields = ReadMessageFields(bytes);
  std::optional<SearchField> field = MatchMessage(bytes, fields, text, header_only);
  if (!field) return false;
  hit.field = *field;
  hit.subject = ShownHeaderText(fields.subject, false);
  hit.sender = ShownHeaderText(fields.from, true);
  hit.date = fields.date;
  return true;
}

SearchSummary SearchMessages(const MailStore& store, const SearchRequest& request, const std::atomic<bool>& cancel,
                             const SearchSinks& sinks) {
  if (request.text.empty()) return {};
  SearchRun run(store, request, cancel, sinks);
  return run.Run(std::max(request.threads, 1));
}

}  // namespace corvelle
