// A message with any header filed into a folder and into "Sent Mail": the names built from
// its subject, sender and recipient are always files inside those folders, and the message
// is never lost.

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/settings/settings.h"
#include "core/store/file_message.h"
#include "core/store/file_naming.h"
#include "core/store/folder_list.h"
#include "core/store/mail_dirs.h"
#include "core/store/message_text.h"
#include "core/user_interface.h"
#include "fuzz_support.h"

namespace {
// The settings this driver runs with, and nobody to ask.
corvelle::Settings MailSettings;
corvelle::SilentUserInterface silent_ui;
}  // namespace


using namespace corvelle;
namespace fs = std::filesystem;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view input = fuzz::Bytes(data, size);
  std::string name(input);
  SanitizeFileName(name);
  IsBadFileName(name);
  FileExtension(input);
  SplitFolderList(input);

  static const bool ready = [] {
    MailSettings.MailDirectory = fuzz::Scratch() + "store/";
    MailSettings.DefaultMailFolder = "Inbox";
    return StoreOf(MailSettings).CheckMailDirs(MailSettings.DefaultMailFolder, true, true, false);
  }();
  if (!ready) return 0;
  const std::string& mail = MailSettings.MailDirectory;
  std::vector<std::string> lines;
  for (size_t at = 0, end; at < input.size(); at = end + 1) {
    end = std::min(input.find('\n', at), input.size());
    lines.emplace_back(input.substr(at, end - at));
  }
  StoreOf(MailSettings).FileMessage(silent_ui, JoinFolderList({"Inbox", "Sent Mail"}), "Spool", "0.new", lines, true);
  size_t filed = 0;
  for (const char* folder : {"Inbox", "Sent Mail", "Spool"})
    for (const auto& entry : fs::directory_iterator(mail + folder)) {
      ++filed;
      fs::remove(entry.path());
    }
  for (const auto& entry : fs::directory_iterator(mail))
    if (!entry.is_directory()) std::abort();  // a name that left its folder
  bool empty = lines.empty() || (lines.size() == 1 && lines[0].empty());
  if (!empty && filed == 0) std::abort();
  std::vector<std::string> read;
  ReadMessageLines(mail + "missing", read);
  return 0;
}
