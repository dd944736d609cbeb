#pragma once
// Who is at the other end of a local socket, and whose its folder and file are, for a
// socket that only its own user may use.

#include <string>

namespace corvelle {

// The numeric id of the user running the program, as text.
std::string UserIdText();

// True when the process at the other end of the local socket `fd` runs as this user.
bool PeerIsSameUser(int fd);

// True when `path` is a folder (not a link to one) of this user that nobody else may
// enter or write (mode 0700 or less). With `create`, a missing one is made with mode 0700
// (and the folders above it as needed) first.
bool IsPrivateFolder(const std::string& path, bool create);

// True when something exists at `path` (a link itself counts) that another user owns.
bool OwnedByAnotherUser(const std::string& path);

}  // namespace corvelle
