#include "core/books/address_book.h"

#include <algorithm>

#include "core/store/addresses.h"
#include "core/store/file_naming.h"
#include "core/store/mail_store.h"
#include "core/store/message_text.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

// Books live in the mail directory, which is absolute: with none set yet, a relative path
// would put a book wherever the program was started.
bool InMailDirectory(const std::string& path) { return !path.empty() && path.front() == '/'; }

}  // namespace

std::string AddressBookPath(const MailStore& store, const std::string& name) {
  return ResolvePath(store.AddressBooks() + name + ".cvab");
}

std::optional<std::string> ValidBookName(std::string_view typed) {
  std::string name(Trimmed(typed));
  if (name.empty() || IsBadFileName(name)) return std::nullopt;
  return name;
}

std::vector<std::string> ParseAddressField(std::string_view field) {
  std::string_view group = Trimmed(field);
  if (group.empty()) return {};
  if (group.front() != '(') return {std::string(field)};
  group.remove_prefix(1);
  if (!group.empty() && group.back() == ')') group.remove_suffix(1);
  std::vector<std::string> addresses;
  for (size_t start = 0; start <= group.size();) {
    size_t comma = std::min(group.find(',', start), group.size());
    std::string_view member = Trimmed(group.substr(start, comma - start));
    if (!member.empty()) addresses.emplace_back(member);
    start = comma + 1;
  }
  return addresses;
}

std::string FormatAddressField(const std::vector<std::string>& addresses) {
  if (addresses.size() < 2) return addresses.empty() ? std::string() : addresses.front();
  std::string field = "(";
  for (const std::string& address : addresses) field += (field.size() > 1 ? "," : "") + address;
  return field + ")";
}

std::optional<TAddressEntry> ParseBookLine(std::string_view line) {
  if (line.empty() || line.front() == ' ') return std::nullopt;
  size_t first = line.find('\t');
  if (first == std::string_view::npos) return TAddressEntry{"", "", std::string(line)};
  TAddressEntry entry{std::string(line.substr(0, first)), "", ""};
  std::string_view rest = line.substr(first + 1);
  size_t second = rest.find('\t');
  if (second == std::string_view::npos) {
    entry.AddressField = rest;
  } else {
    entry.FullName = rest.substr(0, second);
    entry.AddressField = rest.substr(second + 1);
  }
  return entry;
}

std::string FormatBookLine(const TAddressEntry& entry) {
  return entry.Nickname + '\t' + entry.FullName + '\t' + entry.AddressField;
}

bool LoadAddressBook(const std::string& given, std::vector<TAddressEntry>& entries) {
  entries.clear();
  const std::string path = ResolvePath(given);
  if (!InMailDirectory(path)) return false;
  if (!EntryExists(path) && (!MakeFolders(FolderPart(path)) || !WriteNewFile(path, ""))) return false;
  std::vector<std::string> lines;
  if (!ReadMessageLines(path, lines)) return false;
  entries.reserve(lines.size());
  for (const std::string& line : lines)
    if (std::optional<TAddressEntry> entry = ParseBookLine(line)) entries.push_back(std::move(*entry));
  return true;
}

bool SaveAddressBook(const std::string& path, const std::vector<TAddressEntry>& entries) {
  std::string data;
  for (const TAddressEntry& entry : entries) data += FormatBookLine(entry) + "\r\n";
  return InMailDirectory(path) && ReplaceFileAtomically(ResolvePath(path), data);
}

bool CreateAddressBook(const MailStore& store, const std::string& name) {
  std::string path = AddressBookPath(store, name);
  if (FileExists(path)) return true;
  return InMailDirectory(path) && MakeFolders(store.AddressBooks()) && WriteNewFile(path, "");
}

}  // namespace corvelle
