#pragma once
// Filing a new composition into the Postponed folder.

#include <string>
#include <vector>

namespace corvelle {

class MailStore;
class UserInterface;

enum class Postponing { kSaved, kWriteFailed, kMoveRefused };

// Files `lines` (a composition's outgoing lines, not empty) into the Postponed folder of `store`:
// written under a fresh work name in Spool, flushed, then moved into Postponed under the
// name built from its header, with the extension ".newmail" (FileMessage, write first).
// kSaved only when the move happened; `filed_as` then holds the new file's path. On failure
// no work file stays behind: the composition window still holds the message.
Postponing PostponeNewMessage(const MailStore& store, UserInterface& ui, const std::vector<std::string>& lines,
                              std::string& filed_as);

}  // namespace corvelle
