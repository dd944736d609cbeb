#pragma once
// A scripted server for protocol tests: it plays a dialogue (dialogue.h), records every byte
// the client writes, and reports where the client left the script. It serves in-process
// through a fake transport: no threads and no sockets, pauses and stalls in real time, and a
// client that reads while the script waits for its command gets the end of the stream (and
// a problem is recorded) instead of a hang; writing after the server closed fails as a reset
// connection does. Or it serves over loopback TCP from a thread of its own, for what needs a
// real socket.
//
//   FakeServer server("S: +OK ready\nC: USER joe\nS: +OK\n");
//   component.SetTransport(server.NewTransport());
//   ... EXPECT_EQ(server.Problems(), Strings{}); EXPECT_TRUE(server.Finished());

#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "net/sockets/transport.h"
#include "net/support/dialogue.h"

namespace corvelle::testing {

class FakeServer {
 public:
  explicit FakeServer(std::string_view script = "");
  ~FakeServer();
  FakeServer(const FakeServer&) = delete;
  FakeServer& operator=(const FakeServer&) = delete;

  void AddSteps(const std::vector<DialogueStep>& steps);

  // A transport connected to this server in-process. Each connection goes on with the
  // script where the previous one ended (after its CLOSE).
  std::unique_ptr<Transport> NewTransport();
  // What connecting answers: 0, or a WinSock code such as 10061 or 11001.
  void SetConnectResult(int code);
  // At most `bytes` bytes per read (1: one byte at a time, for trickle tests).
  void SetChunkSize(size_t bytes);

  // Serves over TCP on 127.0.0.1 (::1 with `ipv6`), one client after another, on a port the
  // system assigns; returns it. `receive_buffer` > 0 makes a slow reader. Throws when there
  // is no such loopback.
  std::string Listen(bool ipv6 = false, int receive_buffer = 0);

  std::string Written() const;
  std::vector<std::string> Problems() const;
  // True when every step of the script was played.
  bool Finished() const;
  int Connections() const;
  std::string Host() const;
  std::string Port() const;

  struct State;

 private:
  void Serve(int listener);

  std::shared_ptr<State> state_;
  std::thread thread_;
  int stop_[2] = {-1, -1};
};

// A loopback port on which nobody listens, held (bound, not listening) so that nobody starts to.
class ClosedPort {
 public:
  ClosedPort();
  ~ClosedPort();
  ClosedPort(const ClosedPort&) = delete;
  ClosedPort& operator=(const ClosedPort&) = delete;
  std::string Port() const { return port_; }

 private:
  int fd_ = -1;
  std::string port_;
};

}  // namespace corvelle::testing
