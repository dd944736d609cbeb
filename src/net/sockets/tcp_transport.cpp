#include "net/sockets/tcp_transport.h"

namespace corvelle {

int TcpTransport::BeginConnect(const std::string& host, const std::string& port) {
  std::vector<SocketAddress> addresses;
  int code = ResolveTcp(host, TcpPortNumber(port), addresses);
  if (code != 0) {
    Close();
    return code;
  }
  return BeginConnect(std::move(addresses));
}

int TcpTransport::BeginConnect(std::vector<SocketAddress> addresses) {
  Close();
  addresses_ = std::move(addresses);
  next_ = 0;
  last_failure_ = wsa::kRefused;
  socket_failed_ = false;
  return StartNextAddress();
}

int TcpTransport::StartNextAddress() {
  while (next_ < addresses_.size()) {
    const SocketAddress& address = addresses_[next_++];
    int code = socket_.Create(address.storage.ss_family);
    socket_failed_ = code != 0;
    if (code == 0) code = socket_.StartConnect(address);
    if (code == 0) return 0;
    last_failure_ = code;
  }
  return last_failure_;
}

int TcpTransport::ContinueConnect(int milliseconds) {
  if (connected_) return 0;
  if (!IsOpen()) return last_failure_;
  int ready = socket_.Wait(true, milliseconds);
  if (ready < 0) return -ready;
  if (ready == 0) return wsa::kInProgress;
  int code = socket_.ConnectResult();
  if (code == 0) {
    connected_ = true;
    return 0;
  }
  last_failure_ = code;
  socket_.Close();
  code = StartNextAddress();
  return code == 0 ? wsa::kInProgress : code;
}

int TcpTransport::Wait(bool write, int milliseconds) { return socket_.Wait(write, milliseconds); }

long TcpTransport::Receive(char* data, size_t size, int& error) { return socket_.Receive(data, size, error); }

long TcpTransport::Send(const char* data, size_t size, int& error) { return socket_.Send(data, size, error); }

void TcpTransport::Close() {
  socket_.Close();
  connected_ = false;
}

}  // namespace corvelle
