#include "core/filters/direct_filing.h"

#include "core/compose/header_fields.h"
#include "core/filters/match_condition.h"
#include "core/mime/mime_text.h"
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

// The decoded subject of a header, "" without one (as the pass reports it).
std::string SubjectOf(const std::vector<std::string>& header) {
  const size_t count = HeaderLineCount(header);
  for (size_t i = 0; i < count; ++i)
    if (StartsWithIgnoringCase(header[i], "subject:")) return DecodeHeaderText(FieldValue(header, i, 8));
  return "";
}

}  // namespace

DirectFiling::DirectFiling(const std::vector<FilterRule>& rules, MailStore store, const std::string& default_folder,
                           std::vector<Account> accounts)
    : store_(std::move(store)),
      accounts_(std::move(accounts)),
      origins_(accounts_, store_),
      matcher_(HeaderRules(rules), JoinFolderList({store_.Root() + default_folder})) {}

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

DirectTarget DirectFiling::Target(const std::vector<std::string>& header, const std::string& spool_name) {
  // The pass leaves an empty message in the spool folder.
  if (header.empty() || (header.size() == 1 && header[0].empty())) return {};
  const FilterMatch match = matcher_.Match(header, origins_.Of(spool_name));
  if (text_rule_ && match.rules_tried == matcher_.RuleCount()) return {};
  const std::vector<std::string> folders = SplitFolderList(match.folders);
  if (folders.size() != 1) return {};
  const std::string folder = store_.FolderPath(folders[0]);
  if (!made_.contains(folder)) {
    if (!MakeMailFolder(folder, kReadOnly)) return {};
    made_.insert(folder);
  }
  return {store_.FiledTarget(folders[0], spool_name, header), SubjectOf(header)};
}

}  // namespace corvelle
