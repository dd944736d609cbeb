#include "core/filters/filter_match.h"

#include <algorithm>

#include "core/filters/match_condition.h"
#include "platform/paths.h"

namespace corvelle {

RuleMatcher::RuleMatcher(const std::vector<FilterRule>& rules, std::string default_folders)
    : default_folders_(std::move(default_folders)) {
  for (const FilterRule& rule : rules) {
    if (!TakesMail(rule)) {
      rules_.emplace_back();
      continue;
    }
    Prepared prepared{{}, rule.folders};
    for (const FilterCondition& condition : rule.conditions)
      prepared.conditions.emplace_back(AsciiLower(condition.header), AsciiLower(condition.search));
    rules_.push_back(std::move(prepared));
  }
}

FilterMatch RuleMatcher::Match(const std::vector<std::string>& lines, const MailOrigin& origin) const {
  return Match(MatchedMessage(lines), origin);
}

FilterMatch RuleMatcher::Match(const MatchedMessage& message, const MailOrigin& origin) const {
  for (size_t r = 0; r < rules_.size(); ++r) {
    if (!rules_[r]) continue;
    const auto& conditions = rules_[r]->conditions;
    bool all = std::all_of(conditions.begin(), conditions.end(), [&](const auto& condition) {
      return MatchLowerCondition(condition.first, condition.second, message, origin.account);
    });
    if (all) return {rules_[r]->folders, r + 1};
  }
  return {origin.folders.empty() ? default_folders_ : origin.folders, rules_.size()};
}

}  // namespace corvelle
