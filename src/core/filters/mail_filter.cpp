#include "core/filters/mail_filter.h"

#include <algorithm>

#include <map>
#include <optional>
#include <utility>

#include "platform/paths.h"
#include "platform/profile.h"

namespace corvelle {
namespace {

constexpr const char* kSection = "filters";
constexpr size_t kValueWidth = 255;

std::string ValueOf(const std::string& line) {
  size_t equals = line.find('=');
  return equals == std::string::npos ? std::string() : line.substr(equals + 1);
}

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

// The parts of one rule as read, by condition number.
struct RuleParts {
  std::map<long, std::pair<std::string, std::string>> conditions;
  std::optional<std::string> folders;
};

// Puts the value of `key` into its rule's parts; false for a key that names no rule part.
bool ReadKey(const PrivateProfile& ini, const std::string& key, std::map<long, RuleParts>& rules) {
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
  auto& pair = rules[*rule].conditions[*condition];
  (header ? pair.first : pair.second) = ini.ReadString(kSection, key, "");
  return true;
}

}  // namespace

std::string FilteringCompleteText(int left_in_spool) {
  if (left_in_spool <= 0) return "";
  return "Filtering complete. " + std::to_string(left_in_spool) + " messages left in Spool.";
}

TMailFilter::TMailFilter() { LoadFilters(); }

TMailFilter::~TMailFilter() {
  if (modified_ && !discard_) SaveFilters();
}

bool TMailFilter::LoadFilters() {
  rules_.clear();
  PrivateProfile ini(SettingsFilePath());
  std::map<long, RuleParts> read;
  for (const std::string& key : ini.SectionKeys(kSection)) ReadKey(ini, key, read);
  for (const auto& [number, parts] : read) {
    Rule rule;
    int c = 0;
    for (const auto& [ignored, pair] : parts.conditions) {
      std::string prefix = std::to_string(++c) + ".";
      rule.push_back(prefix + "HeaderLine=" + pair.first);
      rule.push_back(prefix + "SearchText=" + pair.second);
    }
    rule.push_back("FolderText=" + parts.folders.value_or("\"\""));
    rules_.push_back(std::move(rule));
  }
  return !rules_.empty();
}

namespace {

// A hand-edited value may hold a bare CR; the file's line would end there and the rest of
// the value be lost, so it is written as a space.
std::string OneLine(std::string value) {
  std::replace_if(value.begin(), value.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  return value;
}

}  // namespace

bool TMailFilter::SaveFilters() {
  PrivateProfile ini(SettingsFilePath());
  ini.EraseSection(kSection);
  std::vector<std::string> values;
  for (int n = 1; n <= FilterCount(); ++n) {
    GetStrippedFilter(n, values);
    std::string rule = std::to_string(n) + ".";
    for (size_t c = 1; 2 * c < values.size(); ++c) {
      std::string condition = rule + std::to_string(c) + ".";
      ini.WriteString(kSection, condition + "HeaderLine", '"' + OneLine(values[2 * c - 2]) + '"');
      ini.WriteString(kSection, condition + "SearchText", '"' + OneLine(values[2 * c - 1]) + '"');
    }
    ini.WriteString(kSection, rule + "FolderText", OneLine(values.back()));
  }
  if (!ini.Save()) return false;
  modified_ = false;
  return true;
}

void TMailFilter::GetStrippedFilter(int index, std::vector<std::string>& out) const {
  if (rules_.empty()) return;
  out.clear();
  if (!ValidIndex(index)) return;
  const Rule& rule = rules_[index - 1];
  for (size_t i = 0; i < rule.size(); ++i) {
    std::string value = ValueOf(rule[i]);
    if (i + 1 < rule.size()) value.resize(std::min(value.size(), kValueWidth));
    out.push_back(std::move(value));
  }
}

void TMailFilter::GetFilter(int index, std::vector<std::string>& out) const {
  if (!ValidIndex(index)) return;
  for (const std::string& line : rules_[index - 1]) out.push_back(std::to_string(index) + "." + line);
}

std::string TMailFilter::FormatFilter(const std::vector<std::string>& lines) {
  auto value = [&](size_t i) { return ValueOf(lines[i]).substr(0, kValueWidth); };
  if (lines.empty()) return "";
  size_t last = lines.size() - 1;
  std::string text;
  for (size_t i = 0; i + 1 < last; i += 2) {
    if (i > 0) text += " AND ";
    text += value(i) + " " + value(i + 1);
  }
  return text + " INTO FOLDER " + value(last);
}

void TMailFilter::GetFilterList(std::vector<std::string>& out) const {
  out.clear();
  for (int n = 1; n <= FilterCount(); ++n) {
    std::vector<std::string> lines;
    GetFilter(n, lines);
    out.push_back(FormatFilter(lines));
  }
}

bool TMailFilter::PutFilter(std::vector<std::string>& lines, int index) {
  if (index != 0 && !ValidIndex(index)) return false;
  if (lines.size() < 3 || lines.size() % 2 == 0) return false;
  Rule rule = lines;
  int number = index == 0 ? FilterCount() + 1 : index;
  for (std::string& line : lines) line.insert(0, std::to_string(number) + ".");
  if (index == 0) {
    rules_.push_back(std::move(rule));
  } else {
    rules_[index - 1] = std::move(rule);
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
