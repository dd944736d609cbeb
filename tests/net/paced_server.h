#pragma once
// A loopback server whose script has a clock: it sends, expects client lines, and pauses
// between steps, so a test can play a server that drips its bytes or goes quiet in the middle
// of a message and then carries on. One connection, port chosen by the system; every wait
// is bounded and the destructor stops the thread.

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "net/dialogue.h"

namespace corvelle::testing {

class PacedServer {
 public:
  PacedServer();
  ~PacedServer();
  PacedServer(const PacedServer&) = delete;
  PacedServer& operator=(const PacedServer&) = delete;

  // Script steps; call them before Start().
  PacedServer& Send(const std::string& bytes);
  // Sends `bytes` one byte at a time, pausing `milliseconds` after each.
  PacedServer& Drip(const std::string& bytes, int milliseconds);
  PacedServer& Pause(int milliseconds);
  // Takes the steps of a dialogue: S sent, C expected, CLOSE, STALL (silent until the client
  // hangs up).
  PacedServer& Play(const std::vector<DialogueStep>& steps);

  // Plays the script in a thread for the first client.
  void Start();
  std::string Port() const { return std::to_string(port_); }
  // Waits (bounded) until the script is over and the client has hung up.
  bool WaitDone();
  // Everything the client wrote.
  std::string Received() const;
  // Where the client left the script.
  std::vector<std::string> Problems() const;
  bool Finished() const { return finished_; }

 private:
  struct Step {
    enum class Kind { kSend, kExpect, kPause, kClose, kStall } kind;
    std::string bytes;
    int milliseconds = 0;
  };
  void Run();
  // Waits until `fd` is readable (true) or `milliseconds` pass or a stop comes (false).
  bool WaitReadable(int fd, int milliseconds);
  // Sleeps `milliseconds`; false when a stop came.
  bool Sleep(int milliseconds);
  bool ReadLine(int connection, std::string& pending, std::string& line);
  void DrainUntilClosed(int connection);
  void Problem(const std::string& text);

  static constexpr int kBoundMilliseconds = 15000;
  std::vector<Step> steps_;
  int listener_ = -1, port_ = 0;
  int stop_pipe_[2] = {-1, -1};
  std::thread thread_;
  mutable std::mutex mutex_;
  std::string received_;
  std::vector<std::string> problems_;
  std::atomic<bool> finished_{false}, done_{false};
};

}  // namespace corvelle::testing
