#pragma once
// TCP client sockets over POSIX, IPv4 and IPv6. Failures come back as WinSock codes, the
// program's error vocabulary (their texts are the ones users see): 10061 refused, 10060
// timed out, 10054 reset, 11001 unknown host, and so on. Every socket is non-blocking; the
// caller waits with Wait(), so that it can keep its interface alive between short waits.

#include <sys/socket.h>

#include <string>
#include <vector>

namespace corvelle {

// The WinSock codes the program itself produces.
namespace wsa {
inline constexpr int kInterrupted = 10004;      // WSAEINTR: the wait was given up
inline constexpr int kWouldBlock = 10035;       // WSAEWOULDBLOCK: nothing to read or write yet
inline constexpr int kInProgress = 10036;       // WSAEINPROGRESS: connecting
inline constexpr int kNotSocket = 10038;        // WSAENOTSOCK: no socket
inline constexpr int kNotConnected = 10057;     // WSAENOTCONN
inline constexpr int kConnectionReset = 10054;  // WSAECONNRESET: also a peer that closed mid-dialogue
inline constexpr int kTimedOut = 10060;         // WSAETIMEDOUT
inline constexpr int kRefused = 10061;          // WSAECONNREFUSED
inline constexpr int kHostNotFound = 11001;     // WSAHOST_NOT_FOUND
inline constexpr int kTryAgain = 11002;         // WSATRY_AGAIN
inline constexpr int kNoRecovery = 11003;       // WSANO_RECOVERY
inline constexpr int kNoData = 11004;           // WSANO_DATA
}  // namespace wsa

// The WinSock code for an errno value (ECONNREFUSED -> 10061, ETIMEDOUT -> 10060, ...).
// An errno with no WinSock counterpart gives 10022 (invalid argument).
int WinSockErrorFromErrno(int error);

// The WinSock code for a getaddrinfo() result: EAI_NONAME -> 11001, EAI_AGAIN -> 11002,
// EAI_FAIL -> 11003, EAI_NODATA/EAI_ADDRFAMILY -> 11004; EAI_SYSTEM uses `saved_errno`.
int WinSockErrorFromResolver(int gai_error, int saved_errno);

// True for the codes of a host name that could not be resolved (11001 to 11004).
bool IsResolverError(int code);

struct SocketAddress {
  sockaddr_storage storage{};
  socklen_t length = 0;
};

// The TCP port of `port`: a decimal number (0 to 65535) or a service name of the services
// database ("smtp", "pop3"). 0 when it is neither.
int TcpPortNumber(const std::string& port);

// Resolves `host` (a name, a dotted IPv4 or an IPv6 address; numeric forms need no look-up)
// for TCP on `port`. Returns 0 and the addresses in the resolver's order, or a WinSock code.
int ResolveTcp(const std::string& host, int port, std::vector<SocketAddress>& out);

// The numeric text of an address: "127.0.0.1", "::1".
std::string AddressText(const SocketAddress& address);

// One non-blocking TCP client socket with TCP_NODELAY (small writes go out at once).
class TcpSocket {
 public:
  TcpSocket() = default;
  ~TcpSocket() { Close(); }
  TcpSocket(const TcpSocket&) = delete;
  TcpSocket& operator=(const TcpSocket&) = delete;

  // Creates the socket for the address family `family` (closing any earlier one). 0, or the
  // code of the failure.
  int Create(int family);
  // Starts connecting the created socket. 0 when connected or in progress, else a code (the
  // socket is then closed).
  int StartConnect(const SocketAddress& address);
  // After Wait(write) reported ready: 0 when the connection stands, else the code it failed with.
  int ConnectResult() const;

  // Waits at most `milliseconds` until reading (or writing) would not block.
  // 1 ready (also at an error or hang-up, which the next call reports), 0 not yet, -code.
  int Wait(bool write, int milliseconds) const;

  // Bytes read (> 0), 0 at the end of the stream, or -1 with `error` set (10035 when nothing
  // has arrived yet).
  long Receive(char* data, size_t size, int& error);
  // Bytes written (>= 0), or -1 with `error` set (10035 when the send buffer is full).
  // Never raises SIGPIPE.
  long Send(const char* data, size_t size, int& error);

  // Shuts the connection down in both directions and closes it (a graceful close).
  void Close();

  int descriptor() const { return fd_; }
  // The numeric local address, "" when not connected.
  std::string LocalAddress() const;

 private:
  int fd_ = -1;
};

}  // namespace corvelle
