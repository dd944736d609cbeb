#pragma once
// Writing the messages of a folder into one mailbox file inside it.

#include <cstddef>
#include <ctime>
#include <string>

#include "core/mailbox/mailbox_import.h"  // StatusLine
#include "core/mailbox/mbox_format.h"

namespace corvelle {

struct ExportResult {
  std::string output;  // the mailbox file: folder + "pine.fol" or "netscape.fol"
  int exported = 0;    // message files written (and then deleted)
  bool ok = false;     // the output holds every message of the folder
};

// Appends every ".mail" and ".newmail" file of the folder `folder_text` (relative to the
// root of `store`, or absolute), in listing order, to the folder's mailbox file: a separator
// line dated `when`, then the file's bytes with one more ">" on each line matching
// ^>*"From ", a file without a final line end given CR LF, and an empty line after each
// message (the import takes it for part of the separator). The mailbox file is created
// when absent and appended to otherwise, never replaced. Only once it is flushed and read
// back intact are the exported files deleted; a file that cannot be read fails the folder,
// and then nothing is written or deleted. Each file is read and the mailbox written a piece
// at a time, so memory does not grow with the folder. Empty files and hidden files stay as
// they are. The folder's names are sorted `in_memory` at a time in temporary files, and the
// names exported kept in one, so that a folder of any size is exported in the same memory.
// Progress goes to `ui`: the file index as Current.
ExportResult ExportFolder(const MailStore& store, UserInterface& ui, const std::string& folder_text, MailboxKind kind,
                          std::time_t when, const StatusLine& status = {}, size_t in_memory = 16384);

}  // namespace corvelle
