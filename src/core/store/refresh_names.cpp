#include "core/store/refresh_names.h"

#include <cmath>
#include <vector>

#include "core/progress.h"
#include "core/store/file_message.h"
#include "core/store/file_naming.h"
#include "core/store/folder_files.h"
#include "core/store/mail_store.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

// The program's own files live in "System"; mailbox files and address books sit among
// messages but are none.
bool IsSystemFolder(const MailStore& store, const std::string& folder) {
  return StartsWithIgnoringCase(folder, ResolvePath(store.System()));
}

bool KeepsItsName(const std::string& name) {
  std::string ext = AsciiLower(FileExtension(name));
  return IsHiddenName(name) || ext == ".fol" || ext == ".cvab";
}

// The lines up to and including the first empty one, without their line ends.
std::vector<std::string> HeaderLines(const std::string& data) {
  std::vector<std::string> lines;
  for (size_t pos = 0; pos < data.size();) {
    size_t end = data.find('\n', pos);
    if (end == std::string::npos) end = data.size();
    std::string line = data.substr(pos, end - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    if (lines.back().empty()) break;
    pos = end + 1;
  }
  return lines;
}

}  // namespace

int RefreshNames(const MailStore& store, UserInterface& ui, const std::string& folder_text,
                 const std::function<void(const std::string&)>& status) {
  std::string folder = ResolvePath(store.FolderPath(folder_text));
  if (IsSystemFolder(store, folder)) return 0;
  std::vector<std::string> names;
  ListFolderFiles(ui, folder, names);
  ProgressReport progress(ui);
  int moved = 0;
  std::string data, final_name;
  for (size_t i = 0; i < names.size(); ++i) {
    if (status) status("Now refreshing names in folder " + folder_text + ". \nCurrent file: " + names[i] + ".");
    progress.Current(static_cast<int>(std::lround(i * 100.0 / names.size())));
    if (KeepsItsName(names[i]) || !ReadWholeFile(folder + names[i], data)) continue;
    std::vector<std::string> header = HeaderLines(data);
    if (header.empty() || (header.size() == 1 && header[0].empty())) continue;
    if (MoveFileUnique(ui, folder + names[i], store.FiledTarget(folder, names[i], header), final_name)) ++moved;
  }
  return moved;
}

}  // namespace corvelle
