#include "platform/tcp_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace corvelle {

int WinSockErrorFromErrno(int error) {
  switch (error) {
    case EINTR: return 10004;
    case EBADF: return 10009;
    case EACCES:
    case EPERM: return 10013;
    case EFAULT: return 10014;
    case EINVAL: return 10022;
    case EMFILE:
    case ENFILE: return 10024;
#if EAGAIN != EWOULDBLOCK
    case EAGAIN:
#endif
    case EWOULDBLOCK: return 10035;
    case EINPROGRESS: return 10036;
    case EALREADY: return 10037;
    case ENOTSOCK: return 10038;
    case EDESTADDRREQ: return 10039;
    case EMSGSIZE: return 10040;
    case EPROTOTYPE: return 10041;
    case ENOPROTOOPT: return 10042;
    case EPROTONOSUPPORT: return 10043;
    case ESOCKTNOSUPPORT: return 10044;
    case EOPNOTSUPP: return 10045;
    case EPFNOSUPPORT: return 10046;
    case EAFNOSUPPORT: return 10047;
    case EADDRINUSE: return 10048;
    case EADDRNOTAVAIL: return 10049;
    case ENETDOWN: return 10050;
    case ENETUNREACH: return 10051;
    case ENETRESET: return 10052;
    case ECONNABORTED: return 10053;
    case ECONNRESET:
    case EPIPE: return 10054;
    case ENOBUFS:
    case ENOMEM: return 10055;
    case EISCONN: return 10056;
    case ENOTCONN: return 10057;
    case ESHUTDOWN: return 10058;
    case ETOOMANYREFS: return 10059;
    case ETIMEDOUT: return 10060;
    case ECONNREFUSED: return 10061;
    case ELOOP: return 10062;
    case ENAMETOOLONG: return 10063;
    case EHOSTDOWN: return 10064;
    case EHOSTUNREACH: return 10065;
    case ENOTEMPTY: return 10066;
    case EUSERS: return 10068;
    case EDQUOT: return 10069;
    case ESTALE: return 10070;
    case EREMOTE: return 10071;
    default: return 10022;
  }
}

int WinSockErrorFromResolver(int gai_error, int saved_errno) {
  switch (gai_error) {
    case EAI_NONAME: return wsa::kHostNotFound;
    case EAI_AGAIN: return wsa::kTryAgain;
    case EAI_FAIL: return wsa::kNoRecovery;
#ifdef EAI_NODATA
    case EAI_NODATA: return wsa::kNoData;
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY: return wsa::kNoData;
#endif
    case EAI_MEMORY: return 10055;
    case EAI_FAMILY: return 10047;
    case EAI_SOCKTYPE: return 10044;
    case EAI_SYSTEM: return WinSockErrorFromErrno(saved_errno);
    default: return wsa::kNoRecovery;
  }
}

bool IsResolverError(int code) { return code >= wsa::kHostNotFound && code <= wsa::kNoData; }

int TcpPortNumber(const std::string& port) {
  if (port.empty()) return 0;
  if (port.find_first_not_of("0123456789") == std::string::npos) {
    if (port.size() > 5) return 0;
    int number = std::stoi(port);
    return number <= 65535 ? number : 0;
  }
  servent* entry = ::getservbyname(port.c_str(), "tcp");
  return entry ? ntohs(static_cast<uint16_t>(entry->s_port)) : 0;
}

int ResolveTcp(const std::string& host, int port, std::vector<SocketAddress>& out) {
  out.clear();
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* found = nullptr;
  int result = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (result != 0) return WinSockErrorFromResolver(result, errno);
  for (addrinfo* entry = found; entry; entry = entry->ai_next) {
    if (entry->ai_family != AF_INET && entry->ai_family != AF_INET6) continue;
    SocketAddress address;
    std::memcpy(&address.storage, entry->ai_addr, entry->ai_addrlen);
    address.length = entry->ai_addrlen;
    if (entry->ai_family == AF_INET)
      reinterpret_cast<sockaddr_in*>(&address.storage)->sin_port = htons(static_cast<uint16_t>(port));
    else
      reinterpret_cast<sockaddr_in6*>(&address.storage)->sin6_port = htons(static_cast<uint16_t>(port));
    out.push_back(address);
  }
  ::freeaddrinfo(found);
  return out.empty() ? wsa::kNoData : 0;
}

std::string AddressText(const SocketAddress& address) {
  char text[INET6_ADDRSTRLEN] = {};
  const void* raw = nullptr;
  int family = address.storage.ss_family;
  if (family == AF_INET)
    raw = &reinterpret_cast<const sockaddr_in*>(&address.storage)->sin_addr;
  else if (family == AF_INET6)
    raw = &reinterpret_cast<const sockaddr_in6*>(&address.storage)->sin6_addr;
  if (!raw || !::inet_ntop(family, raw, text, sizeof text)) return {};
  return text;
}

int TcpSocket::Create(int family) {
  Close();
  fd_ = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
  if (fd_ < 0) return WinSockErrorFromErrno(errno);
  int on = 1;
  ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  return 0;
}

int TcpSocket::StartConnect(const SocketAddress& address) {
  if (fd_ < 0) return wsa::kNotSocket;
  if (::connect(fd_, reinterpret_cast<const sockaddr*>(&address.storage), address.length) == 0) return 0;
  if (errno == EINPROGRESS || errno == EINTR) return 0;
  int code = WinSockErrorFromErrno(errno);
  Close();
  return code;
}

int TcpSocket::ConnectResult() const {
  if (fd_ < 0) return wsa::kNotSocket;
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return WinSockErrorFromErrno(errno);
  if (error != 0) return WinSockErrorFromErrno(error);
  // Writable without an error but not connected yet cannot happen after a hang-up; check anyway.
  sockaddr_storage peer{};
  socklen_t peer_length = sizeof peer;
  if (::getpeername(fd_, reinterpret_cast<sockaddr*>(&peer), &peer_length) != 0)
    return WinSockErrorFromErrno(errno == ENOTCONN ? ECONNREFUSED : errno);
  return 0;
}

int TcpSocket::Wait(bool write, int milliseconds) const {
  if (fd_ < 0) return -wsa::kNotSocket;
  pollfd entry{fd_, static_cast<short>(write ? POLLOUT : POLLIN), 0};
  int result = ::poll(&entry, 1, milliseconds < 0 ? 0 : milliseconds);
  if (result < 0) return errno == EINTR ? 0 : -WinSockErrorFromErrno(errno);
  return result > 0 ? 1 : 0;
}

long TcpSocket::Receive(char* data, size_t size, int& error) {
  if (fd_ < 0) {
    error = wsa::kNotSocket;
    return -1;
  }
  for (;;) {
    ssize_t n = ::recv(fd_, data, size, 0);
    if (n >= 0) return static_cast<long>(n);
    if (errno == EINTR) continue;
    error = WinSockErrorFromErrno(errno);
    return -1;
  }
}

long TcpSocket::Send(const char* data, size_t size, int& error) {
  if (fd_ < 0) {
    error = wsa::kNotSocket;
    return -1;
  }
  for (;;) {
    ssize_t n = ::send(fd_, data, size, MSG_NOSIGNAL);
    if (n >= 0) return static_cast<long>(n);
    if (errno == EINTR) continue;
    error = WinSockErrorFromErrno(errno);
    return -1;
  }
}

void TcpSocket::Close() {
  if (fd_ < 0) return;
  ::shutdown(fd_, SHUT_RDWR);
  ::close(fd_);
  fd_ = -1;
}

std::string TcpSocket::LocalAddress() const {
  if (fd_ < 0) return {};
  SocketAddress address;
  address.length = sizeof address.storage;
  if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&address.storage), &address.length) != 0) return {};
  return AddressText(address);
}

}  // namespace corvelle
