#include "platform/local_peer.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/paths.h"

namespace corvelle {

std::string UserIdText() { return std::to_string(::getuid()); }

bool PeerIsSameUser(int fd) {
  ucred credentials{};
  socklen_t size = sizeof credentials;
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) return false;
  return credentials.uid == ::getuid();
}

bool IsPrivateFolder(const std::string& path, bool create) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) {
    if (errno != ENOENT || !create) return false;
    std::string above = FolderPart(path.back() == '/' ? path.substr(0, path.size() - 1) : path);
    if (!above.empty() && !MakeFolders(above)) return false;
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (::lstat(path.c_str(), &st) != 0) return false;
  }
  return S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 077) == 0;
}

bool OwnedByAnotherUser(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && st.st_uid != ::getuid();
}

}  // namespace corvelle
