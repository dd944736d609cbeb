#include "core/store/addresses.h"

#include <algorithm>
#include <optional>
#include <set>

#include "core/books/address_book.h"
#include "core/store/big_file.h"
#include "core/store/header_lines.h"
#include "core/store/message_text.h"
#include "core/settings/settings.h"
#include "core/user_interface.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool Contains(std::string_view s, char c) { return s.find(c) != std::string_view::npos; }

// A name as an address line shows it: in double quotes when it holds a "," (which would
// split the recipient there) or a double quote (which would hide the commas after it).
std::string QuotedName(std::string_view name) {
  if (name.find_first_of(",\"") == std::string_view::npos) return std::string(name);
  std::string quoted = "\"";
  for (char c : name) quoted += (c == '"' || c == '\\') ? std::string{'\\', c} : std::string(1, c);
  return quoted + '"';
}

// "Lee, Ann" is "Ann Lee"; "van Dyke, Ann" (a space before the comma) is left alone.
std::string DisplayName(std::string_view full_name) {
  size_t comma = full_name.find(',');
  if (comma == std::string_view::npos || Contains(full_name.substr(0, comma), ' ')) return QuotedName(full_name);
  return QuotedName(TrimBlanks(full_name.substr(comma + 1)) + " " + std::string(full_name.substr(0, comma)));
}

// One expansion with everything nested in it: the nicknames already expanded, and the
// default book, read once when a group first needs it.
class Expansion {
 public:
  Expansion(UserInterface& ui, const Settings& settings) : ui_(ui), settings_(settings) {}

  bool Alias(const std::string& name, std::vector<std::string>& out, const std::vector<std::string>& book) {
    out.clear();
    for (const std::string& line : book) {
      std::optional<TAddressEntry> entry = ParseBookLine(line);
      if (!entry || entry->Nickname.empty() || !SameNameIgnoringCase(entry->Nickname, name)) continue;
      expanded_.insert(AsciiLower(name));
      if (Trimmed(entry->AddressField).starts_with('('))
        Group(*entry, out);
      else
        out.push_back(DisplayName(entry->FullName) + " <" + entry->AddressField + ">");
      return true;
    }
    return false;
  }

  bool Name(const std::string& name, std::vector<std::string>& out) {
    if (!default_book_) {
      default_book_.emplace();
      if (!FileExists(settings_.DefaultABPath) || !ReadMessageLines(settings_.DefaultABPath, *default_book_))
        default_book_.reset();
      if (!default_book_) return false;
    }
    return Alias(name, out, *default_book_);
  }

 private:
  void Group(const TAddressEntry& entry, std::vector<std::string>& out) {
    std::string full_name = QuotedName(entry.FullName);
    for (std::string& item : ParseAddressField(entry.AddressField)) Member(std::move(item), full_name, out);
  }

  void Member(std::string item, std::string& full_name, std::vector<std::string>& out) {
    std::vector<std::string> nested;
    if (!Contains(item, '@')) {
      // A nickname met before in this expansion (the group itself, or one that two groups
      // share) adds nothing a second time.
      if (expanded_.count(AsciiLower(item))) return;
      // Groups nested deeper than any real book are cut off before they exhaust the stack.
      if (depth_ >= kMaxDepth) return;
      ++depth_;
      bool found = Name(item, nested);
      --depth_;
      if (found && !nested.empty()) {
        item = nested.front();
        nested.erase(nested.begin());
      } else if (IsPlainAddress(item)) {
        size_t at = settings_.MailAddress.find('@');
        if (at != std::string::npos)
          item += settings_.MailAddress.substr(at);
        else
          ShowMessage(ui_, "Cannot add email address " + item + " without destination name (user@destination).");
      }
    }
    if (full_name.empty())
      out.push_back(item);
    else
      out.push_back(full_name + (Contains(item, '<') ? " - " + item : " <" + item + ">"));
    full_name.clear();
    out.insert(out.end(), nested.begin(), nested.end());
  }

  static constexpr int kMaxDepth = 32;
  UserInterface& ui_;
  const Settings& settings_;
  int depth_ = 0;
  std::set<std::string> expanded_;
  std::optional<std::vector<std::string>> default_book_;
};

}  // namespace

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string TrimBlanks(std::string_view s) { return std::string(Trimmed(Trimmed(s).substr(0, 255))); }

std::string ExtractAddress(std::string_view text) {
  // Trimmed without the 255 cut: a long display name must not cost the address its ">".
  std::string_view s = Trimmed(text);
  size_t left = s.find('<'), right = s.find('>');
  if (right != std::string_view::npos && (left == std::string_view::npos || right > left)) {
    size_t start = left == std::string_view::npos ? 0 : left + 1;
    return std::string(s.substr(start, right - start));
  }
  left = s.find('(');
  right = s.find(')');
  if (left != std::string_view::npos && right != std::string_view::npos && right > left) {
    std::string rest = std::string(s.substr(0, left)) + std::string(s.substr(right + 1));
    return std::string(Trimmed(rest));
  }
  return std::string(s);
}

bool IsPlainAddress(std::string_view s) { return s.find_first_of(" <>()") == std::string_view::npos; }

bool AddressListScan::Separates(char c) {
  if (escaped_) {
    escaped_ = false;
  } else if (c == '\\' && (quoted_ || comment_ > 0)) {
    escaped_ = true;  // a quoted pair: the next character is plain text
  } else if (quoted_) {
    quoted_ = c != '"';
  } else if (comment_ > 0) {
    comment_ += c == '(' ? 1 : c == ')' ? -1 : 0;
  } else if (c == '"') {
    quoted_ = true;
  } else if (c == '(') {
    comment_ = 1;
  } else if (c == '<') {
    ++angle_;
  } else if (c == '>') {
    angle_ -= angle_ > 0;
  } else {
    return c == ',' && angle_ == 0;
  }
  return false;
}

std::vector<std::string_view> AddressListEntries(std::string_view s) {
  std::vector<std::string_view> entries;
  AddressListScan scan;
  size_t start = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if (!scan.Separates(s[i])) continue;
    entries.push_back(s.substr(start, i - start));
    start = i + 1;
  }
  entries.push_back(s.substr(start));
  return entries;
}

void SplitAddressList(std::vector<std::string>& list, std::string_view s) {
  list.clear();
  const std::vector<std::string_view> entries = AddressListEntries(s);
  for (size_t i = 0; i < entries.size(); ++i) {
    std::string_view entry = Trimmed(entries[i]);
    if (entry.empty()) continue;
    list.emplace_back(entry);
    if (i + 1 < entries.size()) list.back() += ',';
  }
}

bool ExpandAlias(UserInterface& ui, const Settings& settings, const std::string& name, std::vector<std::string>& out,
                 const std::vector<std::string>& book) {
  return Expansion(ui, settings).Alias(name, out, book);
}

bool ExpandName(UserInterface& ui, const Settings& settings, const std::string& name, std::vector<std::string>& out) {
  return Expansion(ui, settings).Name(name, out);
}

std::string GetFromAddress(const std::string& file_name) {
  TBigFile file;
  if (!file.LoadFromFile(file_name)) return {};
  std::string line;
  while (file.GetNextString(line)) {
    if (line.size() < 5 || !SameNameIgnoringCase(std::string_view(line).substr(0, 5), "from:")) continue;
    std::vector<std::string> field = {line.substr(5)};
    while (file.GetNextString(line) && IsContinuationLine(line)) field.push_back(line);
    const std::string value = UnfoldedField(field, 0, 0);
    for (std::string_view entry : AddressListEntries(value))
      if (std::string address = ExtractAddress(entry); !address.empty()) return address;
    return {};
  }
  return {};
}

}  // namespace corvelle

