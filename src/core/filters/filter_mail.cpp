// The filtering pass: which rule takes a spool file, and filing it there.

#include <filesystem>
#include <fstream>
#include <optional>

#include "core/filters/mail_filter.h"
#include "core/filters/match_condition.h"
#include "core/filters/spool_filing.h"
#include "core/settings/settings.h"
#include "core/status_text.h"
#include "core/store/file_message.h"
#include "core/store/file_naming.h"
#include "core/store/folder_files.h"
#include "core/store/folder_list.h"
#include "core/store/mail_dirs.h"
#include "core/store/message_text.h"
#include "core/user_interface.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

// A rule ready for many messages: its conditions in lower case and its folders.
struct PreparedRule {
  std::vector<std::pair<std::string, std::string>> conditions;
  std::string folders;  // the quoted list
};

// A rule from its stripped values; nullopt for a rule that takes no message: one without a
// condition, or whose folder list names no folder or an empty one (an empty folder text
// would file into the mail directory itself).
std::optional<PreparedRule> Prepare(const std::vector<std::string>& values) {
  if (values.size() < 3) return std::nullopt;
  std::vector<std::string> folders = SplitFolderList(values.back());
  if (folders.empty()) return std::nullopt;
  for (const std::string& folder : folders)
    if (folder.empty()) return std::nullopt;
  PreparedRule rule{{}, values.back()};
  for (size_t i = 0; i + 1 < values.size(); i += 2)
    rule.conditions.emplace_back(AsciiLower(values[i]), AsciiLower(values[i + 1]));
  return rule;
}

void Progress(void (UserInterface::*step)(int), int percent) {
  (Ui().*step)(percent);
  Ui().ProcessEvents();
}

// part * 100 / whole, rounded to the nearest integer, halves to even.
int RoundedPercent(int part, int whole) {
  long num = 100L * part, quotient = num / whole, twice_rest = 2 * (num % whole);
  if (twice_rest > whole || (twice_rest == whole && quotient % 2 == 1)) ++quotient;
  return static_cast<int>(quotient);
}

bool IsNewMail(const std::string& name, const char* extension) {
  return !IsHiddenName(name) && SameNameIgnoringCase(FileExtension(name), extension);
}

// The lines up to and including the first empty line, reading no more than `limit` bytes.
std::vector<std::string> ReadHeaderLines(const std::string& path, size_t limit) {
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

// One folder of a list, as a list.
std::string OneFolder(const std::string& folder) { return JoinFolderList({folder}); }

}  // namespace

bool TMailFilter::CreateFilterFolders() const {
  bool made = true;
  std::vector<std::string> values;
  for (int n = 1; n <= FilterCount(); ++n) {
    GetStrippedFilter(n, values);
    if (!Prepare(values)) continue;
    for (const std::string& folder : SplitFolderList(values.back()))
      if (!MakeMailFolder(MailStore(MailSettings.MailDirectory, MailSettings.DecodeNames).FolderPath(folder), kReadOnly)) made = false;
  }
  if (!made) ShowMessage("Could not create all filter directories.");
  return made;
}

int TMailFilter::FilterMail() {
  const Settings settings = MailSettings;  // the pass keeps the settings it started with
  Progress(&UserInterface::TotalProgress, 0);
  if (status_) {
    status_->Clear();
    status_->Insert(0, "Filtering incoming mail into appropriate folders...");
  }
  std::string spool = ResolvePath(settings.MailDirectory + "Spool") + "/";
  // A pass that was cut short is finished first, so that nothing it filed is filed twice.
  SpoolFiling filing(spool);
  int unfinished = FolderExists(spool) ? filing.FinishInterrupted() : 0;
  filing.RemoveStaleWorkFiles();
  std::vector<std::string> listed, files;
  ListFolderFiles(Ui(), spool, listed);
  for (const char* extension : {".new", ".mai"})
    for (const std::string& name : listed)
      if (IsNewMail(name, extension)) files.push_back(name);
  if (files.empty()) {
    filing.Settle();
    return unfinished;
  }
  if (!CreateFilterFolders()) return unfinished + static_cast<int>(files.size());
  if (status_) status_->Insert(1, "Filtering mail: " + std::to_string(files.size()) + " new messages.");

  std::vector<std::optional<PreparedRule>> rules;
  std::vector<std::string> values;
  for (int n = 1; n <= FilterCount(); ++n) {
    GetStrippedFilter(n, values);
    rules.push_back(Prepare(values));
  }
  const std::string default_folders = OneFolder(settings.MailDirectory + settings.DefaultMailFolder);

  int left = unfinished;
  std::vector<std::string> lines;
  for (size_t m = 0; m < files.size(); ++m) {
    const std::string path = spool + files[m];
    std::error_code error;
    auto size = std::filesystem::file_size(path, error);
    bool whole = !error && size <= load_limit && ReadMessageLines(path, lines);
    if (!whole) lines = ReadHeaderLines(path, load_limit);
    // A message that cannot be read or is empty stays; the filing counts its own failures.
    if (lines.empty() || (lines.size() == 1 && lines[0].empty())) {
      ++left;
    } else {
      const std::string* folders = &default_folders;
      Progress(&UserInterface::CurrentProgress, 0);
      for (size_t r = 0; r < rules.size(); ++r) {
        Progress(&UserInterface::CurrentProgress, RoundedPercent(static_cast<int>(r + 1), FilterCount()));
        if (!rules[r]) continue;
        bool match = true;
        for (const auto& [header, search] : rules[r]->conditions)
          if (!(match = MatchLowerCondition(header, search, lines))) break;
        if (match) {
          folders = &rules[r]->folders;
          break;
        }
      }
      // Filing copies the stored bytes, not the loaded lines, so a long message stays whole.
      filing.File(files[m], *folders, lines);
    }
    Progress(&UserInterface::TotalProgress, static_cast<int>((m + 1) * 100 / files.size()));
  }
  filing.Settle();
  return left + filing.Failed();
}

}  // namespace corvelle
