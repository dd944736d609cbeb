#include "core/filters/direct_filing.h"

#include "core/filters/match_condition.h"
#include "core/filters/spool_filing.h"
#include "core/store/folder_list.h"
#include "core/store/mail_dirs.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

bool ReadsText(const FilterRule& rule) {
  for (const FilterCondition& condition : rule.conditions)
    if (AsciiLower(condition.header) == kMessageTextHeader) return true;
  return false;
}

}  // namespace

DirectFiling::DirectFiling(const std::vector<FilterRule>& rules, MailStore store, const std::string& default_folder,
                           std::vector<Account> accounts)
    : store_(std::move(store)),
      accounts_(std::move(accounts)),
      origins_(accounts_, store_),
      matcher_(rules, JoinFolderList({store_.Root() + default_folder})),
      header_matcher_(HeaderRules(rules), JoinFolderList({store_.Root() + default_folder})) {}

std::vector<FilterRule> DirectFiling::HeaderRules(const std::vector<FilterRule>& rules) {
  std::vector<FilterRule> kept;
  for (const FilterRule& rule : rules) {
    if (TakesMail(rule) && ReadsText(rule)) {
      // In its place a rule that takes every message: one that reaches it goes to the spool.
      kept.push_back({{{std::string(kDefaultHeader), ""}}, JoinFolderList({"Spool"})});
      text_rule_ = true;
      break;
    }
    kept.push_back(rule);
  }
  return kept;
}

DirectTarget DirectFiling::Target(const std::vector<std::string>& lines, bool whole, const std::string& spool_name) {
  // The pass leaves an empty message in the spool folder.
  if (lines.empty() || (lines.size() == 1 && lines[0].empty())) return {};
  const RuleMatcher& matcher = whole ? matcher_ : header_matcher_;
  const FilterMatch match = matcher.Match(lines, origins_.Of(spool_name));
  if (!whole && text_rule_ && match.rules_tried == matcher.RuleCount()) return {};
  const std::vector<std::string> folders = SplitFolderList(match.folders);
  if (folders.size() != 1) return {};
  const std::string folder = store_.FolderPath(folders[0]);
  auto made = made_.find(folder);
  if (made == made_.end()) {
    if (!MakeMailFolder(folder, kReadOnly)) return {};
    made = made_.emplace(folder, ResolvePath(folder)).first;
  }
  return {made->second + NamePart(store_.FiledTarget(folders[0], spool_name, lines)), SubjectOf(lines)};
}

}  // namespace corvelle
