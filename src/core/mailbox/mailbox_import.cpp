#include "core/mailbox/mailbox_import.h"

#include <sstream>
#include <string_view>
#include <vector>

#include "core/mailbox/mailbox_reader.h"
#include "core/progress.h"
#include "core/store/file_message.h"
#include "core/store/file_naming.h"
#include "core/store/message_text.h"
#include "platform/disk_sync.h"
#include "platform/file_append.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

// A batch is flushed and recorded at once; its size bounds the work a crash repeats.
constexpr size_t kBatchMessages = 4000;
constexpr size_t kBatchBytes = size_t{64} << 20;

constexpr std::string_view kRecordSuffix = ".import";
constexpr std::string_view kWorkMark = ".import-";

std::string_view WithoutLineEnd(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

// How far a mailbox is filed, kept beside it while an import is unfinished:
//   "<inode> <offset> <filed> <doubtful>" and then the work files of the last batch, one a line.
struct ImportRecord {
  std::uint64_t inode = 0, offset = 0;
  int filed = 0;
  bool doubtful = false;
  std::vector<std::string> works;

  std::string Text() const {
    std::string text = std::to_string(inode) + " " + std::to_string(offset) + " " + std::to_string(filed) + " " +
                       (doubtful ? "1" : "0") + "\n";
    for (const std::string& work : works) text += work + "\n";
    return text;
  }
  bool Parse(const std::string& text) {
    std::istringstream in(text);
    int flag = 0;
    if (!(in >> inode >> offset >> filed >> flag)) return false;
    doubtful = flag != 0;
    for (std::string line; std::getline(in, line);)
      if (!line.empty()) works.push_back(line);
    return true;
  }
};

// Collects one message at a time and files the messages in recorded batches.
class MessageFiler {
 public:
  MessageFiler(const MailStore& store, UserInterface& ui, const std::string& folder, const std::string& mailbox_name,
               std::uint64_t inode, ImportResult& result)
      : store_(store), ui_(ui), folder_(folder), name_(mailbox_name),
        record_path_(folder + "." + mailbox_name + std::string(kRecordSuffix)), inode_(inode), result_(result) {}

  // Finishes what an earlier import of this mailbox left and removes its stray work files.
  // Returns the offset to read on from; false when a recorded move still fails.
  bool Resume(std::uint64_t size, std::uint64_t& offset) {
    offset = 0;
    std::string text;
    ImportRecord record;
    if (ReadWholeFile(record_path_, text) && record.Parse(text)) {
      for (const std::string& work : record.works) {
        std::string path = folder_ + work, final_name;
        if (EntryExists(path) &&
            !MoveFileUnique(ui_, path, store_.FiledTarget(folder_, name_, ReadHeaderLines(path)), final_name))
          return false;
      }
      SyncPath(folder_);
      // The same file, perhaps with more appended: what is recorded is filed.
      if (record.inode == inode_ && record.offset <= size) {
        offset = record.offset;
        result_.filed = result_.total = record.filed;
        doubtful_ = record.doubtful;
        seen_separator_ = offset > 0;
      }
    }
    RemoveStrays();
    return true;
  }

  // `line` with its line end.
  void Add(std::string_view line) {
    std::string_view text = WithoutLineEnd(line);
    if (in_header_) {
      header_.emplace_back(text);
      in_header_ = !text.empty();
    }
    if (after_blank_ && text.starts_with("From ")) doubtful_ = true;
    after_blank_ = text.empty();
    bytes_.append(pending_blank_);
    pending_blank_.clear();
    if (text.empty()) {
      pending_blank_ = line;  // it belongs to a separator when one follows
      return;
    }
    if (IsQuotedFrom(text)) line.remove_prefix(1);
    bytes_.append(line);
  }

  void Separator() { seen_separator_ = true; }

  // Ends the message collected so far; `end` is the offset where its separator (or the end
  // of the file) begins.
  void EndMessage(std::uint64_t end) {
    // Nothing, or one empty line, is no message.
    if (!bytes_.empty() && !(header_.size() == 1 && header_[0].empty())) {
      ++result_.total;
      if (!stopped_) WriteWork(end);
    }
    bytes_.clear();
    pending_blank_.clear();
    header_.clear();
    in_header_ = true;
    after_blank_ = false;
    if (!stopped_ && (batch_.size() >= kBatchMessages || batch_bytes_ >= kBatchBytes)) Commit();
  }

  // Files the batch: flushed, recorded, then moved.
  void Commit() {
    if (batch_.empty()) return;
    std::vector<std::string> paths;
    ImportRecord record{inode_, batch_end_, result_.filed + static_cast<int>(batch_.size()), doubtful_, {}};
    for (const Work& work : batch_) {
      paths.push_back(folder_ + work.name);
      record.works.push_back(work.name);
    }
    if (!SyncFiles(paths) || !ReplaceFileAtomically(record_path_, record.Text())) {
      // A record that failed only at its last flush may be in place: then it names these
      // work files, and they stay for the next import to move. Otherwise nothing does.
      std::string text;
      if (!ReadWholeFile(record_path_, text) || text != record.Text())
        for (const std::string& path : paths) RemoveFile(path);
      stopped_ = true;
    } else {
      for (const Work& work : batch_) {
        std::string final_name;
        // A refused move stops the import; its work file stays recorded for the next one.
        // Both names are in the folder resolved at the start.
        if (!MoveResolvedFileUnique(ui_, folder_ + work.name, work.target, final_name)) {
          stopped_ = true;
          break;
        }
        ++result_.filed;
      }
      // The moves must be on disk before the mailbox may go: a folder that cannot be
      // flushed stops the import, and the mailbox is kept.
      if (!SyncPath(folder_)) stopped_ = true;
    }
    batch_.clear();
    batch_bytes_ = 0;
  }

  bool Doubtful() const { return doubtful_ || (!seen_separator_ && result_.total > 0); }
  void RemoveRecord() {
    RemoveFile(record_path_);
    SyncPath(folder_);
  }

 private:
  struct Work {
    std::string name, target;
  };

  void WriteWork(std::uint64_t end) {
    std::string name = "." + name_ + std::string(kWorkMark) + std::to_string(end) + "-" + std::to_string(batch_.size());
    if (!WriteNewFileUnflushed(folder_ + name, bytes_)) {
      stopped_ = true;  // the disk is full, or the folder refuses: the rest is only counted
      Commit();
      return;
    }
    batch_.push_back({name, store_.FiledTarget(folder_, name_, header_)});
    batch_bytes_ += bytes_.size();
    batch_end_ = end;
  }

  // Work files of this mailbox that no record names, records of mailboxes that are gone,
  // and the temporary files of record writes that never completed.
  void RemoveStrays() {
    const std::string mine = "." + name_ + std::string(kWorkMark);
    const std::string record_temp = "." + NamePart(record_path_) + ".";
    bool removed = false;
    for (const FolderEntry& entry : ReadFolder(folder_)) {
      if (!entry.is_file) continue;
      const std::string& n = entry.name;
      bool orphan_record = n.size() > 1 + kRecordSuffix.size() && n[0] == '.' && n.ends_with(kRecordSuffix) &&
                           !EntryExists(folder_ + n.substr(1, n.size() - 1 - kRecordSuffix.size()));
      if ((n.starts_with(mine) || n.starts_with(record_temp) || orphan_record) && RemoveFile(folder_ + n))
        removed = true;
    }
    if (removed) SyncPath(folder_);
  }

  const MailStore& store_;
  UserInterface& ui_;
  std::string folder_, name_, record_path_;
  std::uint64_t inode_;
  ImportResult& result_;
  std::string bytes_, pending_blank_;
  std::vector<std::string> header_;
  bool in_header_ = true, after_blank_ = false, doubtful_ = false, seen_separator_ = false, stopped_ = false;
  std::vector<Work> batch_;
  size_t batch_bytes_ = 0;
  std::uint64_t batch_end_ = 0;
};

int Percent(std::uint64_t position, std::uint64_t size) {
  return size ? static_cast<int>(position * 100 / size) : 100;
}

// Hands every line from `in` on to `filer`, a message at a time, and commits the last batch.
void FileAll(MailboxReader& in, MailboxKind kind, MessageFiler& filer, UserInterface& ui) {
  ProgressReport progress(ui);
  std::string_view line;
  for (;;) {
    std::uint64_t start = in.Offset();
    if (!in.Next(line)) break;
    if (IsSeparatorLine(WithoutLineEnd(line), kind)) {
      filer.EndMessage(start);
      filer.Separator();
    } else {
      filer.Add(line);
    }
    progress.Both(Percent(in.Offset(), in.Size()));
  }
  filer.EndMessage(in.Size());
  filer.Commit();
}

}  // namespace

std::string ImportKeptText(const ImportResult& result) {
  return std::to_string(result.filed) + " of " + std::to_string(result.total) +
         " messages imported; the mailbox is kept.";
}

ImportResult ImportMailbox(const MailStore& store, UserInterface& ui, const std::string& mailbox, MailboxKind kind,
                           const StatusLine& status) {
  ImportResult result;
  std::string path = ResolvePath(mailbox);
  std::string folder = FolderPart(path);
  if (status) status("Importing mail folder " + path + " into folder " + folder);
  MailboxReader reader;
  if (!reader.Open(path)) return result;
  result.loaded = true;

  MessageFiler filer(store, ui, folder, NamePart(path), reader.Inode(), result);
  std::uint64_t offset = 0;
  bool resumed = filer.Resume(reader.Size(), offset);
  MailboxReader rest;
  if (resumed && offset > 0 && !rest.Open(path, offset)) resumed = false;
  MailboxReader& in = offset > 0 ? rest : reader;
  if (resumed) FileAll(in, kind, filer, ui);
  result.failed = result.total - result.filed;

  // Every message is on disk (flushed with its batch) before the mailbox, the only other
  // copy, goes; the record goes after it, so a crash between them files nothing twice.
  bool complete = resumed && !in.Failed() && result.failed == 0;
  result.split_doubtful = filer.Doubtful();
  if (complete && !result.split_doubtful && RemoveFile(path)) {
    result.mailbox_removed = true;
    filer.RemoveRecord();
  } else {
    ShowMessage(ui, ImportKeptText(result));
  }
  return result;
}

}  // namespace corvelle
