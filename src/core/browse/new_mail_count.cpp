#include "core/browse/new_mail_count.h"

#include "core/store/folder_files.h"
#include "core/store/mail_store.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

bool IsNewMailName(std::string_view name) {
  constexpr std::string_view kExt = ".newmail";
  return name.size() > kExt.size() && SameNameIgnoringCase(name.substr(name.size() - kExt.size()), kExt);
}

}  // namespace

int CountNewMessages(const std::string& folder) {
  int count = 0;
  for (const FolderEntry& entry : ReadFolder(folder))
    if (entry.is_file && IsNewMailName(entry.name)) ++count;
  return count;
}

int CountAllNewMessages(const MailStore& store) {
  if (store.Root().empty()) return 0;
  FolderNode root;
  store.FillMailFolderTree(root);
  std::erase_if(root.children, [](const FolderNode& top) { return SameNameIgnoringCase(top.name, "Postponed"); });
  int count = 0;
  for (const std::string& folder : FolderPaths(root, store.Root())) count += CountNewMessages(folder);
  return count;
}

}  // namespace corvelle
