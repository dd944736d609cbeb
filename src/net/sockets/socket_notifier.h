#pragma once
// The event loop's part in the socket component's asynchronous mode: it watches a
// descriptor and calls back, from the loop, when the descriptor can be read or written.
// The Qt interface supplies one (QSocketNotifier and a queued call); tests use a poll loop.

#include <functional>

namespace corvelle {

class SocketNotifier {
 public:
  virtual ~SocketNotifier() = default;

  // Watches `descriptor` for reading and/or writing (replacing an earlier watch of it) and
  // calls `ready(readable, writable)` from the loop while the condition holds. Both false
  // stops watching without forgetting the descriptor's callback.
  virtual void Watch(int descriptor, bool read, bool write, std::function<void(bool, bool)> ready) = 0;
  // Stops watching `descriptor`. Safe inside its own callback.
  virtual void Unwatch(int descriptor) = 0;
  // Runs `call` from the loop soon, never inside Post itself.
  virtual void Post(std::function<void()> call) = 0;
};

// The installed notifier (not owned), or nullptr: then the asynchronous mode connects and
// transfers as usual but delivers no notifications.
SocketNotifier* InstalledSocketNotifier();
void SetSocketNotifier(SocketNotifier* notifier);

}  // namespace corvelle
