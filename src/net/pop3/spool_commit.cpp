#include "net/pop3/spool_commit.h"

#include <unistd.h>

#include "core/store/file_naming.h"
#include "core/user_interface.h"
#include "net/pop3/spool_writer.h"
#include "platform/disk_sync.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

// Messages with ids committed together before their DELE: few flushes for many messages.
constexpr size_t kGroupMessages = 1024;
constexpr long long kGroupBytes = 32 << 20;

}  // namespace

SpoolCommit::SpoolCommit(std::string spool, std::string extension, DiskFlush flush, IdsNotKept ids_not_kept,
                         Between between)
    : spool_(std::move(spool)),
      extension_(std::move(extension)),
      flush_(std::move(flush)),
      ids_not_kept_(std::move(ids_not_kept)),
      between_(std::move(between)) {}

SpoolCommit::~SpoolCommit() {
  for (WorkFile& file : files_) CloseFile(file);
}

bool SpoolCommit::KeepsOpen() const { return !flush_ && open_ < FilesKeptOpen(); }

void SpoolCommit::CloseFile(WorkFile& file) {
  if (file.fd < 0) return;
  ::close(file.fd);
  file.fd = -1;
  --open_;
}

const std::string& SpoolCommit::Spool() {
  if (resolved_.empty()) resolved_ = ResolvePath(spool_);
  return resolved_;
}

bool SpoolCommit::LoadIds(const std::string& path) {
  ids_.Load(path);
  bool ok = true;
  ids_.Recover(Spool(), extension_, ok);
  return ok;
}

bool SpoolCommit::TakeBack(int number) {
  for (auto file = files_.begin(); file != files_.end(); ++file)
    if (file->number == number) {
      CloseFile(*file);
      RemoveFile(file->path);
      files_.erase(file);
      return true;
    }
  return false;
}

bool SpoolCommit::GroupFull() const {
  size_t count = 0;
  long long bytes = 0;
  for (const WorkFile& file : files_)
    if (!file.id.empty()) {
      ++count;
      bytes += file.size;
    }
  return count >= kGroupMessages || bytes >= kGroupBytes;
}

void SpoolCommit::Discard(WorkFile& file) {
  CloseFile(file);
  RemoveFile(file.path);
  ++discarded_;
}

bool SpoolCommit::Flush(std::vector<WorkFile>& files) {
  std::vector<std::string> paths;
  std::vector<int> open;
  for (WorkFile& file : files) {
    if (flush_) CloseFile(file);  // a test's flush goes by the names
    paths.push_back(file.path);
    open.push_back(file.fd);
  }
  bool ok = flush_ ? flush_(paths) : SyncFiles(paths, open);
  for (WorkFile& file : files) CloseFile(file);
  return ok;
}

bool SpoolCommit::MoveIn(const WorkFile& file, std::uint64_t& next, std::set<std::string>& touched) {
  if (!file.target.empty()) {
    // Numbering a taken name asks nobody: a silent interface stands for the user's.
    static SilentUserInterface nobody;
    std::string final_name;
    if (MoveResolvedFileUnique(nobody, file.path, file.target, final_name)) {
      touched.insert(FolderPart(final_name));
      filed_.push_back(file.subject);
      return true;
    }
  }
  return !SpoolWriter::MoveToFreeName(file.path, Spool(), extension_, next).empty();
}

SpoolCommit::Commit SpoolCommit::CommitFiles(std::vector<WorkFile>& files, size_t& moved, bool& synced,
                                             bool need_ids, bool tidy) {
  moved = 0;
  synced = true;
  // One flush of many files keeps retrieval fast; only then may a file take the name that
  // says it is complete.
  if (!Flush(files)) return Commit::kNotFlushed;
  bool ids = false;
  for (const WorkFile& file : files)
    if (!file.id.empty()) {
      ids_.Add(file.id, NamePart(file.path), file.size);
      ids = true;
    }
  // Without the ids on disk a crash in the moves below only costs a second copy later.
  if (ids && !ids_.Save()) {
    for (const WorkFile& file : files)
      if (!file.id.empty()) ids_.Forget(file.id);
    ids_not_kept_("The list of messages already fetched could not be written to " + ids_.path() + ".");
    ids = false;
    if (need_ids) return Commit::kIdsNotKept;
  }
  std::uint64_t next = 0;
  std::set<std::string> touched;
  while (moved < files.size() && MoveIn(files[moved], next, touched)) {
    ++moved;
    if (between_) between_();
  }
  synced = moved == 0 || SyncPath(Spool());
  for (const std::string& folder : touched) synced = SyncPath(folder) && synced;
  // A file whose new name is not surely on disk keeps its work name in the ids: the next
  // login finishes its move. Names already settled may stay in the file until `tidy`: the
  // next login sees that their files have moved.
  if (ids && synced && moved > 0) {
    for (size_t i = 0; i < moved; ++i)
      if (!files[i].id.empty()) ids_.Settle(files[i].id);
    if (tidy) ids_.Save();
  }
  return Commit::kDone;
}

bool SpoolCommit::Settle(bool commit) {
  std::vector<WorkFile> files = std::move(files_);
  files_.clear();
  if (files.empty()) return true;
  size_t moved = 0;
  bool synced = true, ok = true;
  if (commit) ok = CommitFiles(files, moved, synced, false, true) == Commit::kDone && moved == files.size() && synced;
  bool forgotten = false;
  for (size_t i = moved; i < files.size(); ++i) {
    Discard(files[i]);
    // An id recorded for a file that goes would keep its message from ever coming again.
    if (!files[i].id.empty() && ids_.Contains(files[i].id)) {
      ids_.Forget(files[i].id);
      forgotten = true;
    }
  }
  if (forgotten) ids_.Save();
  return ok;
}

SpoolCommit::Group SpoolCommit::CommitGroup(bool last, bool deleting, std::vector<int>& numbers) {
  numbers.clear();
  std::vector<WorkFile> group, rest;
  for (WorkFile& file : files_) (file.id.empty() || !deleting ? rest : group).push_back(std::move(file));
  files_ = std::move(rest);
  if (group.empty()) return Group::kDone;
  size_t moved = 0;
  bool synced = true;
  switch (CommitFiles(group, moved, synced, true, last)) {
    case Commit::kDone:
      // A file left under its work name is complete, flushed and named in the ids: it is safe.
      for (const WorkFile& file : group) numbers.push_back(file.number);
      return Group::kDone;
    case Commit::kIdsNotKept:
      // Back to the rule without ids: work files until QUIT commits their deletion.
      for (WorkFile& file : group) {
        file.id.clear();
        numbers.push_back(file.number);
        files_.push_back(std::move(file));
      }
      return Group::kIdsNotKept;
    case Commit::kNotFlushed:
      for (WorkFile& file : group) Discard(file);
      return Group::kNotFlushed;
  }
  return Group::kDone;
}

}  // namespace corvelle
