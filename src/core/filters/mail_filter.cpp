#include "core/filters/mail_filter.h"

#include <utility>

#include "platform/profile.h"

namespace corvelle {

std::string FilteringCompleteText(int left_in_spool) {
  if (left_in_spool <= 0) return "";
  return "Filtering complete. " + std::to_string(left_in_spool) + " messages left in Spool.";
}

TMailFilter::TMailFilter() { LoadFilters(); }

TMailFilter::~TMailFilter() {
  if (modified_ && !discard_) SaveFilters();
}

bool TMailFilter::LoadFilters() {
  rules_ = ReadFilterRules(SettingsFilePath());
  return !rules_.empty();
}

bool TMailFilter::SaveFilters() {
  if (!WriteFilterRules(SettingsFilePath(), rules_)) return false;
  modified_ = false;
  return true;
}

std::vector<std::string> TMailFilter::RuleTexts() const {
  std::vector<std::string> texts;
  for (const FilterRule& rule : rules_) texts.push_back(FilterRuleText(rule));
  return texts;
}

bool TMailFilter::PutRule(const FilterRule& rule, int index) {
  if ((index != 0 && !ValidIndex(index)) || rule.conditions.empty()) return false;
  if (index == 0) {
    rules_.push_back(WithConditionWidth(rule));
  } else {
    rules_[index - 1] = WithConditionWidth(rule);
  }
  modified_ = true;
  return true;
}

bool TMailFilter::DeleteFilter(int index) {
  if (!ValidIndex(index)) return false;
  rules_.erase(rules_.begin() + (index - 1));
  modified_ = true;
  return true;
}

bool TMailFilter::SwapFilter(int a, int b) {
  if (!ValidIndex(a) || !ValidIndex(b)) return false;
  std::swap(rules_[a - 1], rules_[b - 1]);
  modified_ = true;
  return true;
}

}  // namespace corvelle
