#pragma once
// Filter rules as values, and their one reading from and writing to the settings file.
//
// A rule is one or more conditions (a header name and a search text, all of which must
// hold) and a folder list in its quoted form ("Work","Archive"). The rules live in section
// `filters` of the settings file:
//   n.c.HeaderLine / n.c.SearchText   condition c of rule n
//   n.FolderText                      the folder list of rule n

#include <cstddef>
#include <string>
#include <vector>

namespace corvelle {

// The most characters of a header name or search text that count; the rest is cut where a
// rule is made (ReadFilterRules, TMailFilter::PutRule) and where one is shown.
inline constexpr size_t kConditionWidth = 255;

struct FilterCondition {
  std::string header;  // a header field name, "*Default*", "*Message Text*" or "*Account*"
  std::string search;
  bool operator==(const FilterCondition&) const = default;
};

struct FilterRule {
  std::vector<FilterCondition> conditions;
  std::string folders;  // the quoted folder list, whole
  bool operator==(const FilterRule&) const = default;
};

// `rule` with its header names and search texts cut to kConditionWidth characters.
FilterRule WithConditionWidth(FilterRule rule);

// True when the rule can take a message: it has a condition, and its folder list names at
// least one folder and no empty one (an empty folder text would file into the mail
// directory itself).
bool TakesMail(const FilterRule& rule);

// "H1 S1 AND H2 S2 INTO FOLDER list", each value cut to kConditionWidth characters.
std::string FilterRuleText(const FilterRule& rule);

// Reads section `filters` of the settings file at `settings_path`. Keys are grouped by their
// rule number, whatever their order or gaps, and the groups become the rules in number
// order; conditions likewise in condition number order. Keys that name no field of a rule
// are ignored. A condition without its header name or search text gets it empty, a rule
// without a folder list gets the empty list (""), so nothing read is lost on the next save. Header names and search
// texts come back cut to kConditionWidth characters.
std::vector<FilterRule> ReadFilterRules(const std::string& settings_path);

// Erases section `filters` of the settings file and writes `rules` in their order. Header
// names and search texts are written inside double quotes, so that quotes and blanks of
// their own survive the reader; a line break inside a value is written as a space. False
// when the settings file could not be written.
bool WriteFilterRules(const std::string& settings_path, const std::vector<FilterRule>& rules);

}  // namespace corvelle
