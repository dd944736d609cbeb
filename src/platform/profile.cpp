#include "platform/profile.h"

#include <cstdint>
#include <cstdlib>
#include <limits>

#include "platform/paths.h"

namespace corvelle {
namespace {

constexpr size_t kMaxValueLength = 1023;
constexpr size_t npos = std::string::npos;

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// The section name of a header line "[name]"; false for any other line.
bool SectionName(std::string_view line, std::string_view& name) {
  line = TrimBlanks(line);
  if (line.empty() || line.front() != '[') return false;
  size_t close = line.find(']');
  name = TrimBlanks(line.substr(1, close == npos ? npos : close - 1));
  return true;
}

// Splits "key=value"; false for a line without "=" or a comment.
bool KeyValue(std::string_view line, std::string_view& key, std::string_view& value) {
  std::string_view trimmed = TrimBlanks(line);
  if (trimmed.empty() || trimmed.front() == ';') return false;
  size_t equals = trimmed.find('=');
  if (equals == npos) return false;
  key = TrimBlanks(trimmed.substr(0, equals));
  value = TrimBlanks(trimmed.substr(equals + 1));
  return !key.empty();
}

bool ParseInteger(std::string_view text, int& out) {
  text = TrimBlanks(text);
  bool negative = false;
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  if (text.empty()) return false;
  unsigned long long value = 0;
  for (char c : text) {
    int digit = (c >= '0' && c <= '9') ? c - '0'
                : (base == 16 && c >= 'a' && c <= 'f') ? c - 'a' + 10
                : (base == 16 && c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                       : -1;
    if (digit < 0) return false;
    value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
    if (value > 0xFFFFFFFFull) return false;
  }
  if (base == 16) {
    // Hexadecimal names the 32 bits, as a colour value 0x80000008 does.
    auto bits = static_cast<uint32_t>(value);
    out = static_cast<int>(negative ? (0u - bits) : bits);
    return true;
  }
  long long signed_value = negative ? -static_cast<long long>(value) : static_cast<long long>(value);
  if (signed_value < std::numeric_limits<int>::min() || signed_value > std::numeric_limits<int>::max())
    return false;
  out = static_cast<int>(signed_value);
  return true;
}

}  // namespace

PrivateProfile::PrivateProfile(std::string path) : path_(ResolvePath(path)) {
  std::string data;
  if (!ReadWholeFile(path_, data)) {
    unreadable_ = EntryExists(path_);
    return;
  }
  size_t pos = 0;
  bool ending_chosen = false;
  while (pos < data.size()) {
    size_t lf = data.find('\n', pos);
    Line line;
    if (lf == npos) {
      line.text = data.substr(pos);
      pos = data.size();
    } else {
      bool crlf = lf > pos && data[lf - 1] == '\r';
      line.text = data.substr(pos, lf - pos - (crlf ? 1 : 0));
      line.ending = crlf ? "\r\n" : "\n";
      pos = lf + 1;
      if (!ending_chosen) {
        new_line_ = line.ending;  // new lines follow the file's own style
        ending_chosen = true;
      }
    }
    lines_.push_back(std::move(line));
  }
}

PrivateProfile::Range PrivateProfile::FindSection(std::string_view section) const {
  std::string_view name;
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (!SectionName(lines_[i].text, name) || !SameNameIgnoringCase(name, TrimBlanks(section))) continue;
    size_t end = i + 1;
    while (end < lines_.size() && !SectionName(lines_[end].text, name)) ++end;
    return {i, end};
  }
  return {npos, npos};
}

size_t PrivateProfile::FindKey(std::string_view section, std::string_view key) const {
  Range range = FindSection(section);
  if (range.begin == npos) return npos;
  std::string_view k, v;
  for (size_t i = range.begin + 1; i < range.end; ++i)
    if (KeyValue(lines_[i].text, k, v) && SameNameIgnoringCase(k, TrimBlanks(key))) return i;
  return npos;
}

std::string PrivateProfile::ReadString(std::string_view section, std::string_view key,
                                       std::string_view fallback) const {
  size_t line = FindKey(section, key);
  std::string_view k, value = fallback;
  if (line != npos) KeyValue(lines_[line].text, k, value);
  if (line != npos && value.size() >= 2 && value.front() == '"' && value.back() == '"')
    value = value.substr(1, value.size() - 2);
  return std::string(value.substr(0, kMaxValueLength));
}

int PrivateProfile::ReadInteger(std::string_view section, std::string_view key, int fallback) const {
  size_t line = FindKey(section, key);
  std::string_view k, v;
  int value = 0;
  if (line != npos && KeyValue(lines_[line].text, k, v) && ParseInteger(v, value)) return value;
  return fallback;
}

std::vector<std::string> PrivateProfile::SectionKeys(std::string_view section) const {
  std::vector<std::string> keys;
  Range range = FindSection(section);
  if (range.begin == npos) return keys;
  std::string_view k, v;
  for (size_t i = range.begin + 1; i < range.end; ++i)
    if (KeyValue(lines_[i].text, k, v)) keys.emplace_back(k);
  return keys;
}

void PrivateProfile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  value = value.substr(0, value.find_first_of("\r\n"));
  std::string text = std::string(TrimBlanks(key)) + "=" + std::string(value);
  changed_ = true;
  if (size_t line = FindKey(section, key); line != npos) {
    lines_[line].text = text;
    return;
  }
  Range range = FindSection(section);
  if (range.begin == npos) {
    if (!lines_.empty() && lines_.back().ending.empty()) lines_.back().ending = new_line_;
    lines_.push_back({"[" + std::string(TrimBlanks(section)) + "]", new_line_});
    lines_.push_back({text, new_line_});
    return;
  }
  // After the section's last non-blank line, so blank separators stay below it.
  size_t at = range.end;
  while (at > range.begin + 1 && TrimBlanks(lines_[at - 1].text).empty()) --at;
  if (lines_[at - 1].ending.empty()) lines_[at - 1].ending = new_line_;
  lines_.insert(lines_.begin() + static_cast<long>(at), Line{text, new_line_});
}

void PrivateProfile::WriteInteger(std::string_view section, std::string_view key, int value) {
  WriteString(section, key, std::to_string(value));
}

void PrivateProfile::EraseSection(std::string_view section) {
  // One pass over the lines, dropping every section of that name with all its lines.
  std::vector<Line> kept;
  kept.reserve(lines_.size());
  bool erasing = false;
  std::string_view name;
  for (Line& line : lines_) {
    if (SectionName(line.text, name)) erasing = SameNameIgnoringCase(name, TrimBlanks(section));
    if (erasing)
      changed_ = true;
    else
      kept.push_back(std::move(line));
  }
  lines_ = std::move(kept);
}

bool PrivateProfile::Save() {
  if (unreadable_) return false;
  if (!changed_) return true;
  std::string data;
  for (const Line& line : lines_) data += line.text + line.ending;
  if (!ReplaceFileAtomically(path_, data)) return false;
  changed_ = false;
  return true;
}

std::string SettingsFilePath() {
  std::string base;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/') {
    base = config;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home ? home : "") + "/.config";
  }
  return ResolvePath(base + "/corvelle/CORVEL.INI");
}

}  // namespace corvelle
