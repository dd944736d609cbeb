#include "core/store/folder_list.h"

namespace corvelle {

std::vector<std::string> SplitFolderList(std::string_view list) {
  std::vector<std::string> folders;
  while (!list.empty()) {
    size_t close = list.find('"', 1);
    if (close == std::string_view::npos) {
      folders.emplace_back();
      break;
    }
    folders.emplace_back(list.substr(1, close - 1));
    list.remove_prefix(std::min(list.size(), close + 2));
  }
  return folders;
}

std::string JoinFolderList(const std::vector<std::string>& folders) {
  std::string list;
  for (const std::string& folder : folders) {
    if (!list.empty()) list += ',';
    list += '"' + folder + '"';
  }
  return list;
}

}  // namespace corvelle
