#pragma once
// The mail directory tree: the fixed folders under MailSettings.MailDirectory, checked at
// start-up and made on demand, plus every folder named by a filter rule.

#include <string>

namespace corvelle {

// Old folder attribute bits. Kept as the callers' vocabulary; not applied on Linux, where
// a "read-only" folder would forbid creating messages in it.
enum FolderAttribute { kReadOnly = 1, kHidden = 2, kSystem = 4 };

// Unless `force`: true when every tested folder exists (nothing made, filters not read).
// Then, only with `create`: makes the tree in its order (the four sample folders only with
// `samples`), then every folder of every rule's folder list. Stops at the first folder that
// cannot be made and returns false; folders made before it stay.
bool CheckMailDirs(bool force, bool create, bool samples);

// Makes one folder with every missing folder above it, private to the user (MakeFolders).
// True when it exists afterwards.
bool MakeMailFolder(const std::string& path, int attributes);

}  // namespace corvelle
