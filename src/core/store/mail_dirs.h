#pragma once
// Making the folders of the mail directory tree (MailStore::CheckMailDirs checks and makes
// the whole tree).

#include <string>

#include "core/store/mail_store.h"

namespace corvelle {

// Old folder attribute bits. Kept as the callers' vocabulary; not applied on Linux, where
// a "read-only" folder would forbid creating messages in it.
enum FolderAttribute { kReadOnly = 1, kHidden = 2, kSystem = 4 };

// Makes one folder with every missing folder above it, private to the user (MakeFolders).
// True when it exists afterwards.
bool MakeMailFolder(const std::string& path, int attributes);

}  // namespace corvelle
