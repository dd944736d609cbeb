#pragma once
// A tiny TCP server on loopback that plays one script in a thread: the steps of a dialogue
// (net/dialogue.h), and pauses between them for a server that drips its bytes or goes quiet
// and then carries on. One server per failure mode, on a port the system assigns. Every wait
// is bounded, so a test never hangs on it; the destructor stops the thread.

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <variant>
#include <vector>

#include "net/support/dialogue.h"

namespace corvelle::testing {

// What a scripted server does, in order.
class ServerScript {
 public:
  using Step = std::variant<DialogueStep, std::chrono::milliseconds>;  // or a pause

  ServerScript() = default;
  ServerScript(const std::vector<DialogueStep>& steps) : steps_(steps.begin(), steps.end()) {}  // NOLINT

  ServerScript& Play(const ServerScript& more);
  ServerScript& Send(const std::string& bytes);
  ServerScript& Pause(int milliseconds);
  // Sends `bytes` one byte at a time, pausing `milliseconds` after each.
  ServerScript& Drip(const std::string& bytes, int milliseconds);

  const std::vector<Step>& steps() const { return steps_; }

 private:
  std::vector<Step> steps_;
};

class ScriptedServer {
 public:
  struct Options {
    bool ipv6 = false;          // listen on ::1 instead of 127.0.0.1
    bool trickle = false;       // send one byte per send() call
    int receive_buffer = 0;     // SO_RCVBUF of the connection when > 0 (a slow reader)
    std::chrono::milliseconds bound{15000};  // the longest any wait of the server lasts
  };

  // Listens at once and plays for the first client.
  explicit ScriptedServer(std::string_view script) : ScriptedServer(ParseDialogue(script), Options{}) {}
  ScriptedServer(std::string_view script, Options options) : ScriptedServer(ParseDialogue(script), options) {}
  explicit ScriptedServer(ServerScript script) : ScriptedServer(std::move(script), Options{}) {}
  ScriptedServer(ServerScript script, Options options);
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  int port() const { return port_; }
  std::string Port() const { return std::to_string(port_); }

  // Waits (at most the bound) until the script is over and the client has hung up.
  bool WaitDone();
  // Everything the client wrote, over all connections.
  std::string Received() const;
  // Where the client left the script.
  std::vector<std::string> Problems() const;
  // True when every step was played.
  bool Finished() const { return finished_; }
  int Connections() const { return connections_; }

 private:
  void Run();
  bool Accept(int& connection);
  bool SendAll(int connection, const std::string& bytes);
  // Reads one client line (LF included) into `line`; false at the end of the stream or the bound.
  bool ReadLine(int connection, std::string& pending, std::string& line);
  // Reads until the client hangs up (or the bound); what it sends is recorded.
  void DrainUntilClosed(int connection);
  bool WaitReadable(int fd);
  void Record(std::string_view bytes);
  void Problem(const std::string& text);

  ServerScript script_;
  Options options_;
  int listener_ = -1;
  int stop_pipe_[2] = {-1, -1};
  int port_ = 0;
  std::thread thread_;
  mutable std::mutex mutex_;
  std::string received_;
  std::vector<std::string> problems_;
  std::atomic<bool> finished_{false}, done_{false};
  std::atomic<int> connections_{0};
};

// A loopback port on which nobody listens, held (bound, not listening) so that nobody
// starts to while the test runs.
class ClosedPort {
 public:
  ClosedPort();
  ~ClosedPort();
  ClosedPort(const ClosedPort&) = delete;
  ClosedPort& operator=(const ClosedPort&) = delete;
  std::string Port() const { return std::to_string(port_); }

 private:
  int fd_ = -1, port_ = 0;
};

}  // namespace corvelle::testing
