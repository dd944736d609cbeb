#include "core/messages/move_message.h"

#include "core/store/file_naming.h"
#include "core/store/mail_store.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

bool SameFolder(const std::string& a, const std::string& b) {
  if (SameNameIgnoringCase(a, b)) return true;
  FileIdentity first, second;
  return GetFileIdentity(a, first) && GetFileIdentity(b, second) && first == second;
}

}  // namespace

FolderMove MoveMessageToFolder(const MailStore& store, UserInterface& ui, const std::string& file_name,
                               const std::string& folder, std::string& moved_to) {
  moved_to.clear();
  std::string source = ResolvePath(file_name);
  std::string target_folder = ResolvePath(store.FolderPath(folder));
  if (file_name.empty() || folder.empty()) return FolderMove::kRefused;
  if (SameFolder(FolderPart(source), target_folder)) return FolderMove::kSameFolder;
  if (!FolderExists(target_folder)) return FolderMove::kRefused;
  return MoveFileUnique(ui, source, target_folder + NamePart(source), moved_to) ? FolderMove::kMoved
                                                                             : FolderMove::kRefused;
}

}  // namespace corvelle
