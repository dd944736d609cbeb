#include "platform/profile.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <limits>

#include "platform/paths.h"
#include "platform/utf16.h"

namespace corvelle {
namespace {

constexpr size_t kMaxValueLength = 1023;
constexpr size_t npos = std::string::npos;
constexpr std::string_view kCrLf = "\r\n", kLf = "\n", kUtf8Mark = "\xEF\xBB\xBF";

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
    blocks_.emplace_back();
    return;
  }
  std::string_view text = data;
  std::string decoded;
  if (text.substr(0, 3) == kUtf8Mark) {
    encoding_ = Encoding::kUtf8Mark;
    text.remove_prefix(3);
  } else if (text.substr(0, 2) == "\xFF\xFE" || text.substr(0, 2) == "\xFE\xFF") {
    encoding_ = text[0] == '\xFF' ? Encoding::kUtf16Le : Encoding::kUtf16Be;
    decoded = Utf16ToUtf8(text.substr(2), encoding_ == Encoding::kUtf16Be);
    text = decoded;
  }
  Parse(text);
}

void PrivateProfile::Parse(std::string_view data) {
  blocks_.emplace_back();  // the lines above the first section
  bool ending_chosen = false;
  std::string_view name, key, value;
  while (!data.empty()) {
    size_t lf = data.find('\n');
    Line line;
    if (lf == npos) {
      line.text = data;
      data = {};
      // A last line cut after its CR ends as a CR LF line would: read alike before and after
      // a write gives it its line end.
      if (line.text.ends_with('\r')) {
        line.text.pop_back();
        line.ending = kCrLf;
      }
    } else {
      bool crlf = lf > 0 && data[lf - 1] == '\r';
      line.text = data.substr(0, lf - (crlf ? 1 : 0));
      line.ending = crlf ? kCrLf : kLf;
      data.remove_prefix(lf + 1);
      if (!ending_chosen) {
        new_line_ = line.ending;  // new lines follow the file's own style
        ending_chosen = true;
      }
    }
    if (SectionName(line.text, name)) {
      blocks_.emplace_back();
      blocks_.back().name = AsciiLower(name);
    } else if (blocks_.size() > 1 && KeyValue(line.text, key, value)) {
      blocks_.back().keys.emplace(AsciiLower(key), blocks_.back().lines.size());
    }
    blocks_.back().lines.push_back(std::move(line));
  }
  IndexSections();
}

void PrivateProfile::IndexSections() {
  sections_.clear();
  for (size_t i = 1; i < blocks_.size(); ++i) sections_.emplace(blocks_[i].name, i);
}

size_t PrivateProfile::FindSection(std::string_view section) const {
  auto it = sections_.find(AsciiLower(TrimBlanks(section)));
  return it == sections_.end() ? npos : it->second;
}

const PrivateProfile::Line* PrivateProfile::FindKey(std::string_view section, std::string_view key) const {
  size_t block = FindSection(section);
  if (block == npos) return nullptr;
  auto it = blocks_[block].keys.find(AsciiLower(TrimBlanks(key)));
  return it == blocks_[block].keys.end() ? nullptr : &blocks_[block].lines[it->second];
}

std::string PrivateProfile::ReadString(std::string_view section, std::string_view key,
                                       std::string_view fallback) const {
  const Line* line = FindKey(section, key);
  std::string_view k, value = fallback;
  if (line) KeyValue(line->text, k, value);
  if (line && value.size() >= 2 && value.front() == '"' && value.back() == '"')
    value = value.substr(1, value.size() - 2);
  return std::string(value.substr(0, kMaxValueLength));
}

int PrivateProfile::ReadInteger(std::string_view section, std::string_view key, int fallback) const {
  const Line* line = FindKey(section, key);
  std::string_view k, v;
  int value = 0;
  if (line && KeyValue(line->text, k, v) && ParseInteger(v, value)) return value;
  return fallback;
}

std::vector<std::string> PrivateProfile::SectionNames() const {
  std::vector<std::string> names;
  std::string_view name;
  for (size_t i = 1; i < blocks_.size(); ++i)
    if (sections_.at(blocks_[i].name) == i && SectionName(blocks_[i].lines.front().text, name)) names.emplace_back(name);
  return names;
}

std::vector<std::string> PrivateProfile::SectionKeys(std::string_view section) const {
  std::vector<std::string> keys;
  size_t block = FindSection(section);
  if (block == npos) return keys;
  std::string_view k, v;
  for (const Line& line : blocks_[block].lines)
    if (KeyValue(line.text, k, v)) keys.emplace_back(k);
  return keys;
}

void PrivateProfile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  value = value.substr(0, value.find_first_of("\r\n"));
  std::string text = std::string(TrimBlanks(key)) + "=" + std::string(value);
  std::string lower_key = AsciiLower(TrimBlanks(key));
  changed_ = true;
  size_t index = FindSection(section);
  if (index == npos) {
    for (auto last = blocks_.rbegin(); last != blocks_.rend(); ++last) {
      if (last->lines.empty()) continue;
      if (last->lines.back().ending.empty()) last->lines.back().ending = new_line_;
      break;
    }
    Block block;
    block.name = AsciiLower(TrimBlanks(section));
    block.lines = {{"[" + std::string(TrimBlanks(section)) + "]", new_line_}, {text, new_line_}};
    block.keys.emplace(lower_key, 1);
    sections_.emplace(block.name, blocks_.size());
    blocks_.push_back(std::move(block));
    return;
  }
  Block& block = blocks_[index];
  if (auto it = block.keys.find(lower_key); it != block.keys.end()) {
    block.lines[it->second].text = text;
    return;
  }
  // After the section's last non-blank line, so blank separators stay below it. Only those
  // blank lines move down, and they hold no keys: the key index stays right.
  size_t at = block.lines.size();
  while (at > 1 && TrimBlanks(block.lines[at - 1].text).empty()) --at;
  if (block.lines[at - 1].ending.empty()) block.lines[at - 1].ending = new_line_;
  block.lines.insert(block.lines.begin() + static_cast<long>(at), Line{text, new_line_});
  block.keys.emplace(lower_key, at);
}

void PrivateProfile::WriteInteger(std::string_view section, std::string_view key, int value) {
  WriteString(section, key, std::to_string(value));
}

void PrivateProfile::EraseSection(std::string_view section) {
  // Every section of that name goes, with all its lines.
  std::string name = AsciiLower(TrimBlanks(section));
  auto erased = std::remove_if(blocks_.begin() + 1, blocks_.end(), [&](const Block& b) { return b.name == name; });
  if (erased == blocks_.end()) return;
  blocks_.erase(erased, blocks_.end());
  changed_ = true;
  IndexSections();
}

std::string PrivateProfile::Encoded() {
  std::string data;
  for (const Block& block : blocks_) {
    for (const Line& line : block.lines) {
      data += line.text;
      data += line.ending;
    }
  }
  if (encoding_ == Encoding::kUtf16Le || encoding_ == Encoding::kUtf16Be) {
    bool big_endian = encoding_ == Encoding::kUtf16Be;
    std::string utf16;
    if (Utf8ToUtf16(data, big_endian, utf16)) return (big_endian ? "\xFE\xFF" : "\xFF\xFE") + utf16;
    encoding_ = Encoding::kUtf8Mark;  // bytes that UTF-16 cannot carry: kept as they are
  }
  return encoding_ == Encoding::kUtf8Mark ? std::string(kUtf8Mark) + data : data;
}

bool PrivateProfile::Save() {
  if (unreadable_) return false;
  if (!changed_) return true;
  // The file holds passwords: the owner's alone, whatever mode it had before.
  if (!ReplaceFileAtomically(path_, Encoded(), 0600, false)) return false;
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
