#include "core/compose/common_text.h"

#include "core/store/file_naming.h"
#include "core/store/folder_files.h"
#include "core/store/mail_store.h"
#include "core/store/message_text.h"
#include "platform/paths.h"

namespace corvelle {

std::string CommonTextFolder(const MailStore& store) {
  std::string folder = store.CommonText();
  folder.pop_back();
  return folder;
}

std::vector<CommonTextEntry> ListCommonText(const MailStore& store, UserInterface& ui) {
  std::string folder = ResolvePath(CommonTextFolder(store)) + "/";
  std::vector<std::string> names;
  ListFolderFiles(ui, folder, names);
  // An editor's swap or backup file is no entry, and takes no number either.
  std::erase_if(names, [](const std::string& name) { return IsHiddenName(name); });
  std::vector<CommonTextEntry> entries;
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string& name = names[i];
    if (name.size() < 4 || AsciiLower(name.substr(name.size() - 4)) != ".txt") continue;
    entries.push_back({static_cast<int>(i + 1), name.substr(0, name.size() - 4), folder + name});
  }
  return entries;
}

std::string CommonTextCaption(const CommonTextEntry& entry) {
  std::string caption = "&" + std::to_string(entry.number) + " - ";
  for (char c : entry.description) {
    if (c == '&') caption += '&';
    caption += c;
  }
  return caption;
}

bool ReadCommonText(const std::string& path, std::string& text) {
  std::vector<std::string> lines;
  text.clear();
  if (!ReadMessageLines(path, lines)) return false;
  for (const std::string& line : lines) text += line + "\n";
  return true;
}

bool AddCommonText(const MailStore& store, UserInterface& ui, const std::string& description,
                   const std::vector<std::string>& lines) {
  std::string folder = ResolvePath(CommonTextFolder(store));
  std::string work = UniqueFileName(folder, ".txt");
  if (!WriteMessageLines(work, lines)) return false;
  std::string name = description, final_name;
  SanitizeFileName(name);
  MoveFileUnique(ui, work, folder + "/" + name + ".txt", final_name);
  return true;
}

}  // namespace corvelle
