#include "core/filters/filter_rules.h"

#include <algorithm>
#include <map>
#include <optional>
#include <string_view>
#include <utility>

#include "core/store/folder_list.h"
#include "platform/paths.h"
#include "platform/profile.h"

namespace corvelle {
namespace {

constexpr const char* kSection = "filters";

std::string Cut(const std::string& value) { return value.substr(0, kConditionWidth); }

// A run of decimal digits at the front of `text` followed by ".": its number, and `rest`
// the text after the "."; nullopt otherwise.
std::optional<long> LeadingNumber(std::string_view text, std::string_view& rest) {
  size_t dot = text.find('.');
  if (dot == 0 || dot == std::string_view::npos || dot > 9) return std::nullopt;
  long number = 0;
  for (char c : text.substr(0, dot)) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + (c - '0');
  }
  rest = text.substr(dot + 1);
  return number;
}

// One rule as read: its conditions by number, its folder list when there was one.
struct ReadRule {
  std::map<long, FilterCondition> conditions;
  std::optional<std::string> folders;
};

// Puts the value of `key` into its rule; false for a key that names no field of a rule.
bool ReadKey(const PrivateProfile& ini, const std::string& key, std::map<long, ReadRule>& rules) {
  std::string_view rest, field;
  std::optional<long> rule = LeadingNumber(key, rest);
  if (!rule) return false;
  if (SameNameIgnoringCase(rest, "FolderText")) {
    // The reader took one pair of quotes off; the list form wants them back.
    auto& folders = rules[*rule].folders;
    if (!folders) folders = '"' + ini.ReadString(kSection, key, "") + '"';
    return true;
  }
  std::optional<long> condition = LeadingNumber(rest, field);
  bool header = SameNameIgnoringCase(field, "HeaderLine");
  if (!condition || (!header && !SameNameIgnoringCase(field, "SearchText"))) return false;
  FilterCondition& read = rules[*rule].conditions[*condition];
  (header ? read.header : read.search) = ini.ReadString(kSection, key, "");
  return true;
}

// A hand-edited value may hold a bare CR; the file's line would end there and the rest of
// the value be lost, so it is written as a space.
std::string OneLine(std::string value) {
  std::replace_if(value.begin(), value.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  return value;
}

std::string Quoted(const std::string& value) { return '"' + OneLine(value) + '"'; }

}  // namespace

FilterRule WithConditionWidth(FilterRule rule) {
  for (FilterCondition& condition : rule.conditions) {
    condition.header = Cut(condition.header);
    condition.search = Cut(condition.search);
  }
  return rule;
}

bool TakesMail(const FilterRule& rule) {
  if (rule.conditions.empty()) return false;
  std::vector<std::string> folders = SplitFolderList(rule.folders);
  return !folders.empty() && std::none_of(folders.begin(), folders.end(), [](const std::string& f) { return f.empty(); });
}

std::string FilterRuleText(const FilterRule& rule) {
  std::string text;
  for (size_t c = 0; c < rule.conditions.size(); ++c) {
    if (c > 0) text += " AND ";
    text += Cut(rule.conditions[c].header) + " " + Cut(rule.conditions[c].search);
  }
  return text + " INTO FOLDER " + Cut(rule.folders);
}

std::vector<FilterRule> ReadFilterRules(const std::string& settings_path) {
  PrivateProfile ini(settings_path);
  std::map<long, ReadRule> read;
  for (const std::string& key : ini.SectionKeys(kSection)) ReadKey(ini, key, read);
  std::vector<FilterRule> rules;
  for (auto& [number, read_rule] : read) {
    FilterRule rule{{}, read_rule.folders.value_or("\"\"")};
    for (auto& [ignored, condition] : read_rule.conditions) rule.conditions.push_back(std::move(condition));
    rules.push_back(WithConditionWidth(std::move(rule)));
  }
  return rules;
}

bool WriteFilterRules(const std::string& settings_path, const std::vector<FilterRule>& rules) {
  PrivateProfile ini(settings_path);
  ini.EraseSection(kSection);
  for (size_t n = 0; n < rules.size(); ++n) {
    const std::string rule = std::to_string(n + 1) + ".";
    for (size_t c = 0; c < rules[n].conditions.size(); ++c) {
      const std::string condition = rule + std::to_string(c + 1) + ".";
      ini.WriteString(kSection, condition + "HeaderLine", Quoted(rules[n].conditions[c].header));
      ini.WriteString(kSection, condition + "SearchText", Quoted(rules[n].conditions[c].search));
    }
    ini.WriteString(kSection, rule + "FolderText", OneLine(rules[n].folders));
  }
  return ini.Save();
}

}  // namespace corvelle
