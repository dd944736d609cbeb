// The filtering pass: listing the new mail of the spool folder, loading each message,
// asking the rules where it goes (RuleMatcher), filing it there and reporting.

#include <fstream>
#include <utility>

#include "core/filters/filter_match.h"
#include "core/filters/mail_filter.h"
#include "core/filters/mail_origins.h"
#include "core/filters/spool_filing.h"
#include "core/status_text.h"
#include "core/store/file_naming.h"
#include "core/store/folder_files.h"
#include "core/store/folder_list.h"
#include "core/store/mail_dirs.h"
#include "core/store/big_file.h"
#include "core/progress.h"
#include "core/user_interface.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

// part * 100 / whole, rounded to the nearest integer, halves to even.
int RoundedPercent(int part, int whole) {
  long num = 100L * part, quotient = num / whole, twice_rest = 2 * (num % whole);
  if (twice_rest > whole || (twice_rest == whole && quotient % 2 == 1)) ++quotient;
  return static_cast<int>(quotient);
}

// The progress of one message: from 0, a step for each rule looked at.
void ShowRulesTried(ProgressReport& progress, size_t tried, size_t rules) {
  progress.Current(0);
  for (size_t r = 1; r <= tried; ++r) progress.Current(RoundedPercent(static_cast<int>(r), static_cast<int>(rules)));
}

bool IsNewMail(const std::string& name, const char* extension) {
  return !IsHiddenName(name) && SameNameIgnoringCase(FileExtension(name), extension);
}

// The ".new" files of the spool folder, then its ".mai" files, each in listing order.
std::vector<std::string> NewMailFiles(const std::string& spool, UserInterface& ui) {
  std::vector<std::string> listed, files;
  ListFolderFiles(ui, spool, listed);
  for (const char* extension : {".new", ".mai"})
    for (const std::string& name : listed)
      if (IsNewMail(name, extension)) files.push_back(name);
  return files;
}

// The lines up to and including the first empty line, reading no more than `limit` bytes.
std::vector<std::string> HeaderLinesWithin(const std::string& path, size_t limit) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  size_t read = 0;
  while (read < limit && std::getline(in, line)) {
    read += line.size() + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    if (line.empty()) break;
  }
  return lines;
}

// A spool file as the rules see it: its header lines through the first empty line, and the
// stored bytes after that line.
struct SpoolMessage {
  TBigFile text;
  std::vector<std::string> header;

  std::string_view Body() const { return std::string_view(text.Data()).substr(text.Position()); }
  // Nothing at all, or one empty line.
  bool Empty() const { return header.empty() || (header.size() == 1 && header[0].empty() && Body().empty()); }
};

// Loads a spool file (its path as listed, so taken as given): whole when it is no larger than
// `limit` and can be read, else its header lines alone; nothing when it cannot be read.
void LoadMessage(const std::string& path, size_t limit, SpoolMessage& message) {
  if (!message.text.LoadFromFileWithin(path, limit)) {
    message.header = HeaderLinesWithin(path, limit);
    return;
  }
  std::string line;
  while (message.text.GetNextString(line)) {
    const bool blank = line.empty();
    message.header.push_back(std::move(line));
    if (blank) break;
  }
}

// One folder of a list, as a list.
std::string OneFolder(const std::string& folder) { return JoinFolderList({folder}); }

// What an earlier pass left: its recorded filings completed, its stale work files removed.
// Returns how many filings could not be completed.
int FinishEarlierPass(SpoolFiling& filing) {
  int unfinished = FolderExists(filing.Spool()) ? filing.FinishInterrupted() : 0;
  filing.RemoveStaleWorkFiles();
  return unfinished;
}

// Files one spool file where the rules send it. False when it cannot be read or is empty:
// it stays.
bool FilterOne(const std::string& name, const MailOrigin& origin, const RuleMatcher& matcher, SpoolFiling& filing,
               size_t load_limit, ProgressReport& progress) {
  SpoolMessage message;
  LoadMessage(filing.Spool() + name, load_limit, message);
  if (message.Empty()) return false;
  const FilterMatch match = matcher.Match(MatchedMessage(message.header, message.Body()), origin);
  ShowRulesTried(progress, match.rules_tried, matcher.RuleCount());
  // Filing copies the stored bytes, not the loaded lines, so a long message stays whole.
  filing.File(name, match.folders, message.header, message.text.Data());
  return true;
}

}  // namespace

bool TMailFilter::CreateFilterFolders(const MailStore& store, UserInterface& ui,
                                      const std::vector<std::string>& also) const {
  std::vector<std::string> folders = also;
  for (const FilterRule& rule : rules_) {
    if (!TakesMail(rule)) continue;
    for (const std::string& folder : SplitFolderList(rule.folders)) folders.push_back(folder);
  }
  bool made = true;
  for (const std::string& folder : folders)
    if (!MakeMailFolder(store.FolderPath(folder), kReadOnly)) made = false;
  if (!made) ShowMessage(ui, "Could not create all filter directories.");
  return made;
}

int TMailFilter::FilterMail(MailStore store, std::string default_folder, UserInterface& ui,
                            const std::vector<Account>& accounts) {
  ProgressReport progress(ui);
  progress.Total(0);
  filed_subjects_ = std::exchange(filed_ahead_, {});
  const size_t ahead = filed_subjects_.size();
  if (status_) {
    status_->Clear();
    status_->Insert(0, "Filtering incoming mail into appropriate folders...");
  }
  // A pass that was cut short is finished first, so that nothing it filed is filed twice.
  SpoolFiling filing(store, ui);
  int left = FinishEarlierPass(filing);
  const std::vector<std::string> files = NewMailFiles(filing.Spool(), ui);
  if (files.empty()) {
    filing.Settle();
    if (status_ && ahead > 0) status_->Insert(1, "Filtering mail: " + std::to_string(ahead) + " new messages.");
    return left;
  }
  const MailOrigins origins(accounts, store);
  if (!CreateFilterFolders(store, ui, origins.Folders())) return left + static_cast<int>(files.size());
  if (status_) status_->Insert(1, "Filtering mail: " + std::to_string(ahead + files.size()) + " new messages.");

  const RuleMatcher matcher(rules_, OneFolder(store.Root() + default_folder));
  for (size_t m = 0; m < files.size(); ++m) {
    // A message that stays is counted here; the filing counts its own failures.
    if (!FilterOne(files[m], origins.Of(files[m]), matcher, filing, load_limit, progress)) ++left;
    progress.Total(static_cast<int>((m + 1) * 100 / files.size()));
  }
  filing.Settle();
  filed_subjects_.insert(filed_subjects_.end(), filing.FiledSubjects().begin(), filing.FiledSubjects().end());
  return left + filing.Failed();
}

}  // namespace corvelle
