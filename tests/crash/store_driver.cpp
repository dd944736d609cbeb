// What the kill campaign kills while it files: one filtering pass over MAIL_DIR/Spool with
// the rules of the settings file, or the import of every "*.mbox" file of a folder of
// MAIL_DIR. Exits 0 when everything was filed (and every mailbox removed).
//
//   crash_store_driver filter MAIL_DIR
//   crash_store_driver import MAIL_DIR FOLDER

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/user_interface.h"
#include "core/store/mail_store.h"
#include "core/filters/mail_filter.h"
#include "core/mailbox/mailbox_import.h"
#include "core/settings/settings.h"
#include "core/store/mail_dirs.h"
#include "core/user_interface.h"
#include "../support/test_settings.h"

int main(int argc, char** argv) {
  using namespace corvelle;
  const std::string mode = argc > 2 ? argv[1] : "";
  if ((mode != "filter" || argc != 3) && (mode != "import" || argc != 4)) {
    std::fprintf(stderr, "usage: %s filter MAIL_DIR | import MAIL_DIR FOLDER\n", argv[0]);
    return 2;
  }
  std::string mail_dir = argv[2];
  if (mail_dir.back() != '/') mail_dir += '/';
  MailSettings.MailDirectory = mail_dir;
  MailSettings.DefaultMailFolder = "Inbox";
  SilentUserInterface ui;  // nobody to ask: the answers that change nothing
  if (!StoreOf(MailSettings).CheckMailDirs(MailSettings.DefaultMailFolder, true, true, false)) {
    std::fprintf(stderr, "cannot make the mail directory %s\n", mail_dir.c_str());
    return 1;
  }
  if (mode == "filter") {
    TMailFilter filter;
    int left = filter.FilterMail(StoreOf(MailSettings),
                                 MailSettings.DefaultMailFolder, ui);
    std::printf("left %d\n", left);
    return left == 0 ? 0 : 1;
  }
  std::vector<std::string> boxes;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(mail_dir + argv[3], error))
    if (entry.path().extension() == ".mbox") boxes.push_back(entry.path().string());
  std::sort(boxes.begin(), boxes.end());
  bool all = true;
  for (const std::string& box : boxes) {
    ImportResult result = ImportMailbox(StoreOf(MailSettings), ui, box, MailboxKind::kPine);
    std::printf("%s: %d of %d\n", box.c_str(), result.filed, result.total);
    all = all && result.mailbox_removed;
  }
  return all ? 0 : 1;
}
