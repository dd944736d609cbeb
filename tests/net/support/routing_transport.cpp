#include "net/support/routing_transport.h"

#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include "net/sockets/tcp_transport.h"

namespace corvelle::testing {

int RoutingTransport::BeginConnect(const std::string& host, const std::string& port) {
  auto server = servers_.find(host);
  inner_ = server != servers_.end() ? server->second->NewTransport() : std::make_unique<TcpTransport>();
  return inner_->BeginConnect(host, port);
}

std::string ClosedPort() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), size);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  ::close(fd);
  return std::to_string(ntohs(address.sin_port));
}

}  // namespace corvelle::testing
