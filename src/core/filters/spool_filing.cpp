#include "core/filters/spool_filing.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>

#include "core/compose/header_fields.h"
#include "core/mime/mime_text.h"
#include "core/store/file_message.h"
#include "core/store/file_naming.h"
#include "core/store/folder_files.h"
#include "core/store/folder_list.h"
#include "core/store/mail_dirs.h"
#include "core/store/message_text.h"
#include "core/settings/settings.h"
#include "core/user_interface.h"
#include "platform/disk_sync.h"
#include "platform/file_append.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

constexpr std::string_view kRecordSuffix = ".filing-list";
constexpr std::string_view kCopyMark = ".copy-";
// Spool files for several folders recorded at once: one flush of a record for many.
constexpr size_t kBatch = 64;
constexpr int kRecordNames = 100;

std::string RecordName(const std::string& name) { return "." + name + std::string(kRecordSuffix); }
std::string CopyName(const std::string& name, size_t i) {
  return "." + name + std::string(kCopyMark) + std::to_string(i);
}

bool IsRecordName(std::string_view name) {
  return name.size() > 1 + kRecordSuffix.size() && name[0] == '.' && name.ends_with(kRecordSuffix);
}

// The spool files a record names, each with its folders: lines "name<TAB>folder list".
std::vector<std::pair<std::string, std::vector<std::string>>> RecordEntries(const std::string& text) {
  std::vector<std::pair<std::string, std::vector<std::string>>> entries;
  for (size_t pos = 0, end; (end = text.find('\n', pos)) != std::string::npos; pos = end + 1) {
    std::string_view line(text.data() + pos, end - pos);
    size_t tab = line.find('\t');
    if (tab != std::string_view::npos)
      entries.emplace_back(line.substr(0, tab), SplitFolderList(line.substr(tab + 1)));
  }
  return entries;
}

// The spool file a copy belongs to; "" for any other name.
std::string OwnerOfCopy(std::string_view name) {
  size_t mark = name.rfind(kCopyMark);
  if (name.empty() || name[0] != '.' || mark == std::string_view::npos || mark < 2) return "";
  std::string_view digits = name.substr(mark + kCopyMark.size());
  if (digits.empty()) return "";
  for (char c : digits)
    if (!std::isdigit(static_cast<unsigned char>(c))) return "";
  return std::string(name.substr(1, mark - 1));
}

// The temporary name of a write that had not completed: "." + name + "." + six letters or
// digits (a file is written under such a name, flushed, and only then renamed).
bool IsUnfinishedWrite(std::string_view name) {
  size_t dot = name.rfind('.');
  if (name.empty() || name[0] != '.' || dot == 0 || dot == std::string_view::npos || name.size() - dot != 7)
    return false;
  for (char c : name.substr(dot + 1))
    if (!std::isalnum(static_cast<unsigned char>(c))) return false;
  return true;
}

}  // namespace

SpoolFiling::SpoolFiling(MailStore store, UserInterface& ui)
    : store_(std::move(store)), ui_(ui), spool_(ResolvePath(store_.Spool())) {}

bool SpoolFiling::MakeCopy(const std::string& name, std::string_view stored, size_t i) {
  const std::string copy = spool_ + CopyName(name, i);
  if (stored.empty()) return CopyNoReplace(spool_ + name, copy, FolderFlush::kLater) == MoveResult::kMoved;
  struct stat st {};
  if (::stat((spool_ + name).c_str(), &st) != 0 || !WriteNewFileUnflushed(copy, stored)) return false;
  // The spool file's own permissions, as a copy of the file has.
  if (::chmod(copy.c_str(), st.st_mode & 07777) != 0) {
    RemoveFile(copy);
    return false;
  }
  unflushed_.push_back(copy);
  return true;
}

void SpoolFiling::File(const std::string& name, const std::string& folders, const std::vector<std::string>& header,
                       std::string_view stored) {
  std::vector<std::string> entries = SplitFolderList(folders);
  if (entries.size() == 1) {
    std::string final_name;
    if (MoveResolvedFileUnique(ui_, spool_ + name, Target(entries[0], name, header), final_name)) {
      touched_.insert(FolderPart(final_name));
      filed_subjects_.push_back(SubjectOf(header));
    } else {
      ++failed_;
    }
    return;
  }
  size_t made = 0, unflushed = unflushed_.size();
  while (made + 1 < entries.size() && MakeCopy(name, stored, made + 1)) ++made;
  if (entries.empty() || made + 1 < entries.size()) {
    for (size_t i = 1; i <= made; ++i) RemoveFile(spool_ + CopyName(name, i));
    unflushed_.resize(unflushed);
    ++failed_;
    return;
  }
  // Only the header is kept: the copies are of the stored bytes.
  std::vector<std::string> head(header.begin(), std::find(header.begin(), header.end(), std::string()));
  batch_.push_back({name, std::move(entries), std::move(head)});
  if (batch_.size() >= kBatch) FileBatch();
}

std::string SpoolFiling::Target(const std::string& folder, const std::string& name,
                                const std::vector<std::string>& header) {
  std::string target = store_.FiledTarget(folder, name, header);
  std::string path = FolderPart(target);
  auto resolved = resolved_.find(path);
  if (resolved == resolved_.end()) resolved = resolved_.emplace(path, ResolvePath(path)).first;
  return resolved->second + NamePart(target);
}

// The record of the batch, written and flushed with the spool folder (and so with the names
// of the copies); "" when none could be written.
std::string SpoolFiling::WriteRecord() const {
  std::string text;
  for (const Pending& pending : batch_) text += pending.name + "\t" + JoinFolderList(pending.folders) + "\n";
  // A record an earlier pass could not finish may hold the first name: the next free one.
  std::string record = spool_ + RecordName(batch_.front().name);
  for (int n = 1; !WriteNewFile(record, text); ++n) {
    if (n >= kRecordNames || !EntryExists(record)) return "";
    record = spool_ + RecordName(batch_.front().name + "-" + std::to_string(n));
  }
  return record;
}

// One record for the batch, then the moves. Without a record the batch was promised to no
// folder: its copies go, its spool files stay.
void SpoolFiling::FileBatch() {
  if (batch_.empty()) return;
  // The copies are flushed together, before the record promises them to their folders.
  const bool copies_flushed = unflushed_.empty() || SyncFiles(unflushed_);
  unflushed_.clear();
  const std::string record = copies_flushed ? WriteRecord() : "";
  if (record.empty()) {
    for (const Pending& pending : batch_)
      for (size_t i = 1; i < pending.folders.size(); ++i) RemoveFile(spool_ + CopyName(pending.name, i));
    failed_ += static_cast<int>(batch_.size());
    batch_.clear();
    return;
  }
  bool complete = true;
  for (const Pending& pending : batch_) {
    if (Finish(pending.name, pending.folders, pending.header)) {
      filed_subjects_.push_back(SubjectOf(pending.header));
    } else {
      ++failed_;
      complete = false;
    }
  }
  // A record with a filing left unfinished stays for the next pass.
  if (complete) done_records_.push_back(record);
  batch_.clear();
}

bool SpoolFiling::Finish(const std::string& name, const std::vector<std::string>& folders,
                         std::vector<std::string> header) {
  const size_t n = folders.size();
  const std::string last = spool_ + CopyName(name, n);
  if (!EntryExists(last)) {
    // Copies still waiting mean the spool file itself has not been taken yet; none waiting
    // means every folder has its copy.
    bool waiting = false;
    for (size_t i = 1; i < n && !waiting; ++i) waiting = EntryExists(spool_ + CopyName(name, i));
    if (!waiting) return true;
    if (MoveNoReplace(spool_ + name, last) != MoveResult::kMoved) return false;
  }
  for (size_t i = 1; i <= n; ++i) {
    std::string work = spool_ + CopyName(name, i);
    if (!EntryExists(work)) continue;
    if (header.empty()) header = ReadHeaderLines(work);
    std::string final_name;
    if (!MoveResolvedFileUnique(ui_, work, Target(folders[i - 1], name, header), final_name)) return false;
    touched_.insert(FolderPart(final_name));
  }
  return true;
}

int SpoolFiling::FinishInterrupted() {
  int unfinished = 0;
  for (const FolderEntry& entry : ReadFolder(spool_)) {
    if (!entry.is_file || !IsRecordName(entry.name)) continue;
    std::string record = spool_ + entry.name, text;
    bool complete = ReadWholeFile(record, text);
    for (const auto& [name, folders] : RecordEntries(text)) {
      for (const std::string& folder : folders) MakeMailFolder(store_.FolderPath(folder), kReadOnly);
      if (folders.size() < 2 || !Finish(name, folders, {})) {
        ++unfinished;
        complete = false;
      }
    }
    if (complete) done_records_.push_back(record);
  }
  Settle();  // a completed record goes before this pass writes records of its own
  return unfinished;
}

int SpoolFiling::RemoveStaleWorkFiles() {
  std::vector<FolderEntry> entries = ReadFolder(spool_);
  std::set<std::string> recorded;
  for (const FolderEntry& entry : entries) {
    std::string text;
    if (entry.is_file && IsRecordName(entry.name) && ReadWholeFile(spool_ + entry.name, text))
      for (const auto& [name, folders] : RecordEntries(text)) recorded.insert(name);
  }
  int removed = 0;
  for (const FolderEntry& entry : entries) {
    if (!entry.is_file) continue;
    std::string owner = OwnerOfCopy(entry.name);
    bool stale = owner.empty() ? IsUnfinishedWrite(entry.name) : !recorded.contains(owner);
    if (stale && RemoveFile(spool_ + entry.name)) ++removed;
  }
  if (removed > 0) SyncPath(spool_);
  return removed;
}

void SpoolFiling::Settle() {
  FileBatch();
  for (const std::string& folder : touched_) SyncPath(folder);
  SyncPath(spool_);
  for (const std::string& record : done_records_) RemoveFile(record);
  if (!done_records_.empty()) SyncPath(spool_);
  touched_.clear();
  done_records_.clear();
}

std::string SubjectOf(const std::vector<std::string>& lines) {
  const size_t header = HeaderLineCount(lines);
  for (size_t i = 0; i < header; ++i)
    if (StartsWithIgnoringCase(lines[i], "subject:")) return DecodeHeaderText(FieldValue(lines, i, 8));
  return "";
}

bool SpoolHoldsNewMail(const std::string& spool) {
  for (const FolderEntry& entry : ReadFolder(spool)) {
    if (!entry.is_file) continue;
    if (IsRecordName(entry.name)) return true;
    std::string ext = AsciiLower(FileExtension(entry.name));
    if (!IsHiddenName(entry.name) && (ext == ".new" || ext == ".mai")) return true;
  }
  return false;
}

}  // namespace corvelle
