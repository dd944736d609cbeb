#include "core/messages/next_new_message.h"

#include <vector>

#include "core/store/file_naming.h"
#include "core/store/folder_files.h"
#include "platform/paths.h"

namespace corvelle {

std::string FirstNewMessage(UserInterface& ui, const std::string& folder) {
  std::vector<std::string> names;
  ListFolderFiles(ui, ResolvePath(folder), names);
  for (const std::string& name : names) {
    if (!IsHiddenName(name) && SameNameIgnoringCase(FileExtension(name), ".newmail")) return name;
  }
  return {};
}

}  // namespace corvelle
