#pragma once
// Splitting a mailbox file into message files of the folder it lies in.

#include <functional>
#include <string>

#include "core/mailbox/mbox_format.h"

namespace corvelle {

using StatusLine = std::function<void(const std::string&)>;

struct ImportResult {
  bool loaded = false;       // the mailbox file could be read
  int filed = 0;             // messages now in the folder
  int failed = 0;            // messages whose write or move failed; they stay in "Spool"
  bool mailbox_removed = false;
};

// Files every message of `mailbox` (an absolute path) into the mailbox's own folder under
// the name built from its header (".newmail", or ".mail" when the mailbox's name ends in
// ".mail" or ".mai"). Lines before the first separator form a message of their own; a
// separator line is not kept; one ">" is taken from lines matching ^>+"From ". Each
// message's bytes, line ends included, are written to a fresh work file in "Spool" and
// moved without replacing; one that cannot be moved stays there. The mailbox is deleted
// only when every message was filed and the file system holding them was flushed.
// Progress goes to Ui() (Total and Current alike), `status` gets one line at the start.
ImportResult ImportMailbox(const std::string& mailbox, MailboxKind kind, const StatusLine& status = {});

}  // namespace corvelle
