#include "core/messages/spool_message.h"

#include "core/compose/header_fields.h"
#include "core/settings/settings.h"
#include "core/store/file_naming.h"
#include "core/store/message_text.h"
#include "platform/paths.h"

namespace corvelle {

bool SpoolMessageLines(const std::vector<std::string>& lines) {
  // WriteMessageLines never replaces: a name taken between the choice and the rename (a
  // second writer) makes the next free name be tried.
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::string name = SpoolFileName();
    if (WriteMessageLines(name, lines)) return true;
    if (!PathExists(name)) return false;
  }
  return false;
}

bool InPostponedFolder(const std::string& path) {
  return StartsWithIgnoringCase(path, MailSettings.MailDirectory + "Postponed/");
}

}  // namespace corvelle
