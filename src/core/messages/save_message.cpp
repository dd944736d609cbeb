#include "core/messages/save_message.h"

#include "core/store/message_text.h"
#include "platform/file_access.h"
#include "platform/paths.h"

namespace corvelle {

bool SaveMessageLines(const std::string& path, const std::vector<std::string>& lines) {
  std::string target = ResolvePath(path);
  if (!EntryExists(target)) return WriteMessageLines(target, lines);
  // The user made it read-only: it is kept, not replaced behind their back.
  if (!IsWritableFile(target)) return false;
  std::string data;
  for (const std::string& line : lines) {
    data += line;
    data += "\r\n";
  }
  return ReplaceFileAtomically(target, data);
}

}  // namespace corvelle
