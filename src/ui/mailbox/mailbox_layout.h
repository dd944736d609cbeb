#pragma once
// The mailbox window's layout as the settings file keeps it, in its own section "mailbox"
// (no other section is touched): splitter sizes, the chosen folder (relative to the mail
// directory), column widths and each folder's sort order.

#include <QList>
#include <string>

namespace corvelle {

struct MailboxLayout {
  QList<int> splitter;   // empty: the window's own
  std::string folder;    // relative to the mail directory; "" for the default mail folder
  QList<int> columns;    // empty: the window's own
};

struct FolderSort {
  int column = -1;  // -1: none kept
  bool ascending = false;
};

// Reads the layout from the settings file `ini`.
MailboxLayout ReadMailboxLayout(const std::string& ini);
// Writes it; false when the file could not be written.
bool WriteMailboxLayout(const std::string& ini, const MailboxLayout& layout);

// The sort order kept for the folder `folder` (relative to the mail directory).
FolderSort ReadFolderSort(const std::string& ini, const std::string& folder);
bool WriteFolderSort(const std::string& ini, const std::string& folder, const FolderSort& sort);

}  // namespace corvelle
