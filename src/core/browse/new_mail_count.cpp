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

int CountTree(const FolderNode& node, const std::string& path) {
  int count = CountNewMessages(path);
  for (const FolderNode& child : node.children) count += CountTree(child, path + child.name + "/");
  return count;
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
  // The folder tree leaves out spool folders and link loops already.
  FolderNode root;
  store.FillFolderTree(root);
  int count = 0;
  for (const FolderNode& top : root.children)
    if (!SameNameIgnoringCase(top.name, "System") && !SameNameIgnoringCase(top.name, "Postponed"))
      count += CountTree(top, store.Root() + top.name + "/");
  return count;
}

}  // namespace corvelle
