#pragma once
// The event loop of the socket component's asynchronous mode for tests: a plain poll() loop
// that the test runs.

#include <poll.h>

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <vector>

#include "net/sockets/socket_notifier.h"

namespace corvelle::testing {

class PollNotifier final : public SocketNotifier {
 public:
  PollNotifier() { SetSocketNotifier(this); }
  ~PollNotifier() override { SetSocketNotifier(nullptr); }
  void Watch(int fd, bool read, bool write, std::function<void(bool, bool)> ready) override {
    watched_[fd] = {read, write, std::move(ready)};
  }
  void Unwatch(int fd) override { watched_.erase(fd); }
  void Post(std::function<void()> call) override { posted_.push_back(std::move(call)); }
  // Runs the loop until `done()` holds, for at most ten seconds.
  bool RunUntil(const std::function<bool()>& done) {
    for (auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10); !done(); RunOnce())
      if (std::chrono::steady_clock::now() >= end) return false;
    return true;
  }

 private:
  struct Entry {
    bool read, write;
    std::function<void(bool, bool)> ready;
  };
  void RunOnce() {
    if (!posted_.empty()) {
      auto call = std::move(posted_.front());
      posted_.pop_front();
      return call();
    }
    std::vector<pollfd> polled;
    for (const auto& [fd, e] : watched_)
      polled.push_back({fd, static_cast<short>((e.read ? POLLIN : 0) | (e.write ? POLLOUT : 0)), 0});
    if (::poll(polled.data(), polled.size(), 10) <= 0) return;
    for (const pollfd& p : polled) {
      auto found = watched_.find(p.fd);  // an earlier callback may have dropped it
      if (!p.revents || found == watched_.end()) continue;
      bool any = p.revents & (POLLERR | POLLHUP);
      auto ready = found->second.ready;  // the callback may replace its own entry
      ready(found->second.read && ((p.revents & POLLIN) || any), found->second.write && ((p.revents & POLLOUT) || any));
    }
  }
  std::map<int, Entry> watched_;
  std::deque<std::function<void()>> posted_;
};

}  // namespace corvelle::testing
