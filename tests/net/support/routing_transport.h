#pragma once
// Connections of a run over several servers: each goes to the scripted server of the host
// it names, or over TCP to any other host (a closed loopback port, say).

#include <map>
#include <memory>
#include <string>

#include "net/sockets/transport.h"
#include "net/support/fake_server.h"

namespace corvelle::testing {

class RoutingTransport final : public Transport {
 public:
  explicit RoutingTransport(const std::map<std::string, FakeServer*>& servers) : servers_(servers) {}
  int BeginConnect(const std::string& host, const std::string& port) override;
  int ContinueConnect(int milliseconds) override { return inner_->ContinueConnect(milliseconds); }
  bool SocketFailed() const override { return inner_ && inner_->SocketFailed(); }
  int Wait(bool write, int milliseconds) override { return inner_->Wait(write, milliseconds); }
  long Receive(char* data, size_t size, int& error) override { return inner_->Receive(data, size, error); }
  long Send(const char* data, size_t size, int& error) override { return inner_->Send(data, size, error); }
  void Close() override {
    if (inner_) inner_->Close();
  }
  bool IsOpen() const override { return inner_ && inner_->IsOpen(); }
  std::string LocalAddress() const override { return inner_ ? inner_->LocalAddress() : ""; }
  std::string FailureText() const override { return inner_ ? inner_->FailureText() : ""; }

 private:
  std::map<std::string, FakeServer*> servers_;
  std::unique_ptr<Transport> inner_;
};

// A loopback port that nothing listens on.
std::string ClosedPort();

}  // namespace corvelle::testing
