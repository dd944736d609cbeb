#include "core/search/search_folders.h"

#include <algorithm>

#include "core/store/folder_files.h"
#include "core/store/mail_store.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

void AddTree(const FolderNode& node, const std::string& path, std::vector<std::string>& out) {
  if (std::find(out.begin(), out.end(), path) == out.end()) out.push_back(path);
  for (const FolderNode& child : node.children) AddTree(child, path + child.name + "/", out);
}

// `path` with its sub-folders (AddFolderNodes leaves out spool folders and link loops).
void AddFolderWithChildren(const std::string& path, std::vector<std::string>& out) {
  std::string resolved = ResolvePath(path);
  if (!FolderExists(resolved)) return;
  if (resolved.back() != '/') resolved += '/';
  FolderNode node;
  AddFolderNodes(node, resolved);
  AddTree(node, resolved, out);
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
  store.FillFolderTree(root);
  for (const FolderNode& top : root.children)
    if (!SameNameIgnoringCase(top.name, "System")) AddTree(top, store.Root() + top.name + "/", folders);
  return folders;
}

}  // namespace corvelle
