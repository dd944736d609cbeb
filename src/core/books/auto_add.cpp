#include "core/books/auto_add.h"

#include <algorithm>
#include <cmath>

#include "core/store/addresses.h"
#include "core/store/folder_files.h"
#include "core/store/mail_store.h"
#include "core/user_interface.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// An entry of an address line without the "," that separates it from the next one.
std::string_view EntryText(std::string_view s) {
  while (!s.empty() && (IsBlank(s.back()) || s.back() == ',')) s.remove_suffix(1);
  return Trimmed(s);
}

std::string NameOf(std::string_view name) {
  name = Trimmed(name);
  if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = Trimmed(name.substr(1, name.size() - 2));
  return LastFirstName(name);
}

bool IsRealAddress(std::string_view s) {
  return s.find('@') != std::string_view::npos && s.find_first_of(" \t,") == std::string_view::npos;
}

// The bare address of one text; its name goes to `name` when one is wanted.
std::string SplitText(std::string_view s, std::string* name) {
  size_t left = s.find('<'), right = left == std::string_view::npos ? left : s.find('>', left);
  if (right != std::string_view::npos) {
    if (name) *name = NameOf(s.substr(0, left));
    return std::string(Trimmed(s.substr(left + 1, right - left - 1)));
  }
  left = s.find('(');
  right = left == std::string_view::npos ? left : s.find(')', left);
  if (right != std::string_view::npos) {
    if (name) *name = NameOf(s.substr(left + 1, right - left - 1));
    return std::string(Trimmed(std::string(s.substr(0, left)) + std::string(s.substr(right + 1))));
  }
  return std::string(s);
}

int Percent(size_t part, size_t whole) {
  return whole == 0 ? 0 : static_cast<int>(std::lround(100.0 * static_cast<double>(part) / static_cast<double>(whole)));
}

}  // namespace

std::string LastFirstName(std::string_view name) {
  size_t space = name.rfind(' ');
  if (name.find(',') != std::string_view::npos || space == std::string_view::npos) return std::string(name);
  return std::string(name.substr(space + 1)) + ", " + std::string(name.substr(0, space));
}

OfferedAddresses OfferAddresses(const std::vector<std::string>& texts) {
  std::vector<std::string_view> entries;
  for (const std::string& text : texts)
    if (std::string_view entry = EntryText(text); !entry.empty()) entries.push_back(entry);
  OfferedAddresses offer;
  for (std::string_view entry : entries) {
    std::string address = SplitText(entry, entries.size() == 1 ? &offer.full_name : nullptr);
    if (!IsRealAddress(address)) continue;
    auto at = std::lower_bound(offer.pending.begin(), offer.pending.end(), address, LessIgnoringCase);
    if (at == offer.pending.end() || !SameNameIgnoringCase(*at, address)) offer.pending.insert(at, address);
  }
  return offer;
}

std::vector<std::string> CollectFolderSenders(const MailStore& store, UserInterface& ui,
                                              const std::vector<std::string>& folders, const SenderProgress& progress) {
  std::vector<std::string> senders;
  for (size_t k = 0; k < folders.size(); ++k) {
    const std::string path = ResolvePath(store.FolderPath(folders[k]));
    std::vector<std::string> names;
    ui.ProcessEvents();
    ListFolderFiles(ui, path, names);
    ui.ProcessEvents();
    for (size_t i = 0; i < names.size(); ++i) {
      ui.ProcessEvents();
      if (IsHiddenName(names[i])) continue;
      progress(Percent(k, folders.size()), Percent(i, names.size()),
               "Now reading sender addresses in folder " + folders[k] + ". \nCurrent file: " + names[i] + ".");
      std::string sender = GetFromAddress(path + names[i]);
      if (!sender.empty()) senders.push_back(std::move(sender));
    }
  }
  return senders;
}

}  // namespace corvelle
