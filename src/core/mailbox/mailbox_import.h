#pragma once
// Splitting a mailbox file into message files of the folder it lies in.

#include <functional>
#include <string>

#include "core/mailbox/mbox_format.h"

namespace corvelle {

class MailStore;
class UserInterface;

using StatusLine = std::function<void(const std::string&)>;

struct ImportResult {
  bool loaded = false;          // the mailbox file could be read
  int filed = 0;                // messages of the mailbox now in the folder, earlier runs included
  int total = 0;                // messages the mailbox holds
  int failed = 0;               // messages this run could not file (a write or a move failed)
  bool split_doubtful = false;  // the mailbox does not look split right (see below)
  bool mailbox_removed = false;
};

// Files every message of `mailbox` (an absolute path) into the mailbox's own folder under
// the name built from its header (".newmail", or ".mail" when the mailbox's name ends in
// ".mail" or ".mai"). Lines before the first separator form a message of their own; a
// separator line is not kept, nor the empty line before it (nor an empty last line of the
// mailbox): it belongs to the separator. One ">" is taken from lines matching ^>+"From ".
// The mailbox is read a piece at a time, never whole.
//
// Messages are filed in batches: each is written to a hidden work file beside the mailbox,
// the batch is flushed, a hidden progress record beside the mailbox (".<name>.import": how
// far the mailbox is filed, and the batch's work files) is replaced, and only then are the
// work files moved into place. An import cut short anywhere is resumed by the next import
// of the same mailbox: the recorded work files still present are moved, other work files
// removed, and reading goes on where the record says, so nothing is filed twice.
//
// The mailbox and its record are deleted only when every message was filed and flushed and
// the split looks right: a mailbox without any separator, or with an unquoted line "From "
// after an empty line inside a message (a separator the split did not recognise), is kept.
// Whenever the mailbox is kept, "N of M messages imported; the mailbox is kept." is shown.
// Progress and messages go to `ui` (Total and Current alike), `status` gets one line at the
// start. Names are made as `store` makes them (MailStore::FiledTarget).
ImportResult ImportMailbox(const MailStore& store, UserInterface& ui, const std::string& mailbox, MailboxKind kind,
                           const StatusLine& status = {});

// "N of M messages imported; the mailbox is kept."
std::string ImportKeptText(const ImportResult& result);

}  // namespace corvelle
