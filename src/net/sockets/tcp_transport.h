#pragma once
// The transport over a real TCP connection: every address of the host is tried in turn,
// IPv6 included.

#include <vector>

#include "net/sockets/transport.h"
#include "platform/tcp_socket.h"

namespace corvelle {

class TcpTransport final : public Transport {
 public:
  int BeginConnect(const std::string& host, const std::string& port) override;
  // Starts connecting to `addresses` in turn, as BeginConnect does after resolving.
  int BeginConnect(std::vector<SocketAddress> addresses);
  int ContinueConnect(int milliseconds) override;
  bool SocketFailed() const override { return socket_failed_; }
  int Wait(bool write, int milliseconds) override;
  long Receive(char* data, size_t size, int& error) override;
  long Send(const char* data, size_t size, int& error) override;
  void Close() override;
  bool IsOpen() const override { return socket_.descriptor() >= 0; }
  std::string LocalAddress() const override { return socket_.LocalAddress(); }

 private:
  // Starts the next address that gets as far as connecting; the last failure otherwise.
  int StartNextAddress();

  TcpSocket socket_;
  std::vector<SocketAddress> addresses_;
  size_t next_ = 0;
  int last_failure_ = 0;
  bool connected_ = false;
  bool socket_failed_ = false;
};

}  // namespace corvelle
