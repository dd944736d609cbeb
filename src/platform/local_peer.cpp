#include "platform/local_peer.h"

#include <sys/socket.h>
#include <unistd.h>

namespace corvelle {

std::string UserIdText() { return std::to_string(::getuid()); }

bool PeerIsSameUser(int fd) {
  ucred credentials{};
  socklen_t size = sizeof credentials;
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) return false;
  return credentials.uid == ::getuid();
}

}  // namespace corvelle
