#include "core/filters/spool_filing.h"

#include <cctype>

#include "core/store/file_message.h"
#include "core/store/file_naming.h"
#include "core/store/folder_files.h"
#include "core/store/folder_list.h"
#include "core/store/mail_dirs.h"
#include "core/store/message_text.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

constexpr std::string_view kRecordSuffix = ".filing-list";
constexpr std::string_view kCopyMark = ".copy-";

std::string RecordName(const std::string& name) { return "." + name + std::string(kRecordSuffix); }
std::string CopyName(const std::string& name, size_t i) {
  return "." + name + std::string(kCopyMark) + std::to_string(i);
}

bool IsRecordName(std::string_view name) { return name.size() > 1 + kRecordSuffix.size() && name[0] == '.' && name.ends_with(kRecordSuffix); }

// The spool file a record or a copy belongs to; "" for any other name.
std::string OwnerOfRecord(std::string_view name) {
  return IsRecordName(name) ? std::string(name.substr(1, name.size() - 1 - kRecordSuffix.size())) : "";
}
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
  if (name.empty() || name[0] != '.' || dot == 0 || dot == std::string_view::npos || name.size() - dot != 7) return false;
  for (char c : name.substr(dot + 1))
    if (!std::isalnum(static_cast<unsigned char>(c))) return false;
  return true;
}

std::vector<std::string> HeaderOf(const std::string& path) {
  std::vector<std::string> lines;
  ReadMessageLines(path, lines);
  for (size_t i = 0; i < lines.size(); ++i)
    if (lines[i].empty()) {
      lines.resize(i + 1);
      break;
    }
  return lines;
}

}  // namespace

bool SpoolFiling::File(const std::string& name, const std::string& folders, const std::vector<std::string>& header) {
  std::vector<std::string> entries = SplitFolderList(folders);
  if (entries.empty()) return false;
  if (entries.size() == 1) {
    std::string final_name;
    if (!MoveFileUnique(spool_ + name, FiledTarget(entries[0], name, header), final_name)) return false;
    touched_.insert(FolderPart(final_name));
    return true;
  }
  auto remove_copies = [&](size_t made) {
    for (size_t i = 1; i <= made; ++i) RemoveFile(spool_ + CopyName(name, i));
  };
  for (size_t i = 1; i < entries.size(); ++i) {
    if (CopyNoReplace(spool_ + name, spool_ + CopyName(name, i), FolderFlush::kLater) != MoveResult::kMoved) {
      remove_copies(i - 1);
      return false;
    }
  }
  // The record flushes the spool folder, and with it the names of the copies.
  std::string record = spool_ + RecordName(name);
  if (!WriteNewFile(record, folders + "\n")) {
    remove_copies(entries.size() - 1);
    return false;
  }
  if (!Finish(name, entries, header)) return false;
  done_records_.push_back(record);
  return true;
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
    if (header.empty()) header = HeaderOf(work);
    std::string final_name;
    if (!MoveFileUnique(work, FiledTarget(folders[i - 1], name, header), final_name)) return false;
    touched_.insert(FolderPart(final_name));
  }
  return true;
}

int SpoolFiling::FinishInterrupted() {
  int unfinished = 0;
  for (const FolderEntry& entry : ReadFolder(spool_)) {
    std::string owner = OwnerOfRecord(entry.name);
    if (!entry.is_file || owner.empty()) continue;
    std::string record = spool_ + entry.name, text;
    std::vector<std::string> folders;
    if (ReadWholeFile(record, text)) folders = SplitFolderList(text.substr(0, text.find('\n')));
    for (const std::string& folder : folders) MakeMailFolder(FolderPath(folder), kReadOnly);
    if (folders.size() >= 2 && Finish(owner, folders, {})) {
      done_records_.push_back(record);
    } else {
      ++unfinished;
    }
  }
  return unfinished;
}

int SpoolFiling::RemoveStaleWorkFiles() {
  std::vector<FolderEntry> entries = ReadFolder(spool_);
  std::set<std::string> recorded;
  for (const FolderEntry& entry : entries)
    if (entry.is_file && IsRecordName(entry.name)) recorded.insert(OwnerOfRecord(entry.name));
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
  for (const std::string& folder : touched_) SyncPath(folder);
  SyncPath(spool_);
  for (const std::string& record : done_records_) RemoveFile(record);
  if (!done_records_.empty()) SyncPath(spool_);
  touched_.clear();
  done_records_.clear();
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
