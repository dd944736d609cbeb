#pragma once
// The socket component's event-loop hook for tests: a plain poll() loop that the test runs.

#include <chrono>
#include <deque>
#include <functional>
#include <map>

#include "net/sockets/socket_notifier.h"

namespace corvelle::testing {

class PollNotifier final : public SocketNotifier {
 public:
  PollNotifier() { SetSocketNotifier(this); }
  ~PollNotifier() override { SetSocketNotifier(nullptr); }

  void Watch(int descriptor, bool read, bool write, std::function<void(bool, bool)> ready) override;
  void Unwatch(int descriptor) override;
  void Post(std::function<void()> call) override;

  // Runs the loop until `done()` holds or `bound` has passed; true when done.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds bound = std::chrono::seconds(10));

 private:
  void RunOnce(int milliseconds);

  struct Entry {
    bool read = false, write = false;
    std::function<void(bool, bool)> ready;
  };
  std::map<int, Entry> watched_;
  std::deque<std::function<void()>> posted_;
};

}  // namespace corvelle::testing
