#include "core/search/search_folders.h"

#include <algorithm>

#include "core/store/folder_files.h"
#include "core/store/mail_store.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

void AddOnce(const std::vector<std::string>& paths, std::vector<std::string>& out) {
  for (const std::string& path : paths)
    if (std::find(out.begin(), out.end(), path) == out.end()) out.push_back(path);
}

// `path` with its sub-folders (AddFolderNodes leaves out spool folders and link loops).
void AddFolderWithChildren(const std::string& path, std::vector<std::string>& out) {
  std::string resolved = ResolvePath(path);
  if (!FolderExists(resolved)) return;
  if (resolved.back() != '/') resolved += '/';
  FolderNode node;
  AddFolderNodes(node, resolved);
  AddOnce({resolved}, out);
  AddOnce(FolderPaths(node, resolved), out);
}

}  // namespace

std::vector<std::string> SearchFolders(const MailStore& store, const std::vector<std::string>& chosen) {
  std::vector<std::string> folders;
  if (!chosen.empty()) {
    for (const std::string& path : chosen)
      if (!path.empty()) AddFolderWithChildren(path, folders);
    return folders;
  }
  if (store.Root().empty()) return folders;
  FolderNode root;
  store.FillMailFolderTree(root);
  return FolderPaths(root, store.Root());
}

}  // namespace corvelle
