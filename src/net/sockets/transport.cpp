#include "net/sockets/transport.h"

#include "net/sockets/tcp_transport.h"

namespace corvelle {
namespace {

TransportFactory& InstalledFactory() {
  static TransportFactory factory;
  return factory;
}

}  // namespace

void SetTransportFactory(TransportFactory factory) { InstalledFactory() = std::move(factory); }

std::unique_ptr<Transport> MakeTransport() {
  if (const TransportFactory& factory = InstalledFactory()) return factory();
  return std::make_unique<TcpTransport>();
}

}  // namespace corvelle
