#include "core/store/message_text.h"

#include "core/store/big_file.h"
#include "core/store/folder_files.h"
#include "core/store/mail_store.h"
#include "platform/paths.h"

namespace corvelle {

std::vector<std::string> ReadHeaderLines(const std::string& path) {
  std::vector<std::string> lines;
  ReadMessageLines(path, lines);
  for (size_t i = 0; i < lines.size(); ++i)
    if (lines[i].empty()) {
      lines.resize(i + 1);
      break;
    }
  return lines;
}

bool ReadMessageLines(const std::string& path, std::vector<std::string>& lines) {
  lines.clear();
  TBigFile file;
  if (!file.LoadFromFile(path)) return false;
  std::string line;
  while (file.GetNextString(line)) lines.push_back(std::move(line));
  return true;
}

bool WriteMessageLines(const std::string& path, const std::vector<std::string>& lines) {
  size_t size = 0;
  for (const std::string& line : lines) size += line.size() + 2;
  std::string data;
  data.reserve(size);
  for (const std::string& line : lines) {
    data += line;
    data += "\r\n";
  }
  return WriteNewFile(ResolvePath(path), data);
}

std::string NewMessageName(int open_windows) { return "Compose New Message " + std::to_string(open_windows + 1); }

AddressBookChoice FillAddressBookList(UserInterface& ui, const MailStore& store, const std::string& default_book) {
  AddressBookChoice choice;
  std::vector<std::string> files;
  ListFolderFiles(ui, store.AddressBooks(), files);
  for (const std::string& file : files) {
    size_t dot = file.rfind('.');
    std::string name = dot == std::string::npos ? file : file.substr(0, dot);
    // "Friends.txt" and "Friends.cvab" are one book; work files of a save are none.
    if (IsHiddenName(file) || (!choice.names.empty() && SameNameIgnoringCase(choice.names.back(), name))) continue;
    choice.names.push_back(std::move(name));
  }
  if (!default_book.empty()) {
    for (size_t i = 0; i < choice.names.size(); ++i) {
      if (SameNameIgnoringCase(choice.names[i], default_book)) {
        choice.selected = static_cast<int>(i);
        break;
      }
    }
  }
  if (choice.selected < 0 && !choice.names.empty()) choice.selected = 0;
  return choice;
}

}  // namespace corvelle
