#pragma once
// An in-process server for protocol tests: it plays a scripted dialogue (dialogue.h), records
// every byte the client writes, and reports where the client left the script. No threads,
// no sockets: a client that reads while the script waits for its command gets the end of the
// stream (and a problem is recorded) instead of a hang.
//
//   FakeServer server("S: +OK ready\nC: USER joe\nS: +OK\n");
//   component.SetTransport(server.NewTransport());
//   ... EXPECT_TRUE(server.Problems().empty()); EXPECT_TRUE(server.Finished());

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "net/support/dialogue.h"
#include "net/sockets/transport.h"

namespace corvelle {

class FakeServer {
 public:
  FakeServer();
  explicit FakeServer(std::string_view script);
  ~FakeServer();
  FakeServer(const FakeServer&) = delete;
  FakeServer& operator=(const FakeServer&) = delete;

  // Appends steps to the script.
  void AddScript(std::string_view script);
  void AddSteps(const std::vector<DialogueStep>& steps);

  // A transport connected to this server. Each connection goes on with the script where
  // the previous one ended (after its CLOSE). The transport may outlive the server object.
  std::unique_ptr<Transport> NewTransport();

  // What connecting answers: 0, or a WinSock code such as 10061 or 11001.
  void SetConnectResult(int code);
  // At most `bytes` bytes per read (1 = one byte at a time, for trickle tests).
  void SetChunkSize(size_t bytes);

  const std::string& Written() const;
  const std::vector<std::string>& Problems() const;
  // True when every step of the script was played.
  bool Finished() const;
  int Connections() const;
  const std::string& Host() const;
  const std::string& Port() const;

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace corvelle
