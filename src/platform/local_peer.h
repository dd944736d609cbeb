#pragma once
// Who is at the other end of a local socket, for a server that only its own user may use.

#include <string>

namespace corvelle {

// The numeric id of the user running the program, as text.
std::string UserIdText();

// True when the process connected through the local socket `fd` runs as this user.
bool PeerIsSameUser(int fd);

}  // namespace corvelle
