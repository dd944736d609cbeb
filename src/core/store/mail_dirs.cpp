#include "core/store/mail_dirs.h"

#include <vector>

#include "core/store/folder_list.h"
#include "platform/paths.h"
#include "platform/profile.h"

namespace corvelle {
namespace {

struct TreeFolder {
  const char* name;  // relative; "" is the mail directory itself, nullptr the default folder
  bool tested;
  bool sample;
  int attributes;
};

const TreeFolder kTree[] = {
    {"", true, false, kReadOnly | kSystem},
    {nullptr, true, false, kReadOnly},
    {"Mailing Lists", false, true, 0},
    {"Organizations", false, true, 0},
    {"People", false, true, 0},
    {"Subjects", false, true, 0},
    {"Postponed", true, false, kReadOnly | kSystem},
    {"Sent Mail", true, false, kReadOnly | kSystem},
    {"Spool", true, false, kReadOnly | kHidden | kSystem},
    {"System", true, false, kReadOnly | kHidden | kSystem},
    {"System/Common Text", true, false, kReadOnly | kSystem},
    {"System/Signatures", true, false, kReadOnly | kSystem},
    {"System/AddressBook", true, false, kReadOnly | kSystem},
};

std::string TreePath(const MailStore& store, const std::string& default_folder, const TreeFolder& folder) {
  const std::string& dir = store.Root();
  if (!folder.name) return dir + default_folder;
  if (!*folder.name) return dir.empty() ? dir : dir.substr(0, dir.size() - 1);
  return dir + folder.name;
}

bool EndsWithIgnoringCase(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && SameNameIgnoringCase(s.substr(s.size() - suffix.size()), suffix);
}

// Every folder of every rule's folder list, in the order of the filters section.
std::vector<std::string> FilterFolders(const MailStore& store) {
  PrivateProfile ini(SettingsFilePath());
  std::vector<std::string> folders;
  for (const std::string& key : ini.SectionKeys("filters")) {
    if (!EndsWithIgnoringCase(key, "FolderText")) continue;
    // The reader strips one pair of quotes; the list form wants them back.
    std::string list = '"' + ini.ReadString("filters", key, "") + '"';
    for (const std::string& folder : SplitFolderList(list)) folders.push_back(store.FolderPath(folder));
  }
  return folders;
}

}  // namespace

bool MailStore::CheckMailDirs(const std::string& default_folder, bool force, bool create, bool samples) const {
  if (!force) {
    bool complete = true;
    for (const TreeFolder& folder : kTree)
      if (folder.tested && !PathExists(TreePath(*this, default_folder, folder))) complete = false;
    if (complete) return true;
  }
  if (!create) return false;
  for (const TreeFolder& folder : kTree) {
    if (folder.sample && !samples) continue;
    if (!MakeMailFolder(TreePath(*this, default_folder, folder), folder.attributes)) return false;
  }
  for (const std::string& folder : FilterFolders(*this))
    if (!MakeMailFolder(folder, kReadOnly)) return false;
  return true;
}

bool MakeMailFolder(const std::string& path, int /*attributes*/) {
  if (PathExists(path)) return true;
  return MakeFolders(path);
}

}  // namespace corvelle
