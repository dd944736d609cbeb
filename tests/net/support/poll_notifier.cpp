#include "net/support/poll_notifier.h"

#include <poll.h>

#include <vector>

namespace corvelle::testing {

void PollNotifier::Watch(int descriptor, bool read, bool write, std::function<void(bool, bool)> ready) {
  watched_[descriptor] = Entry{read, write, std::move(ready)};
}

void PollNotifier::Unwatch(int descriptor) { watched_.erase(descriptor); }

void PollNotifier::Post(std::function<void()> call) { posted_.push_back(std::move(call)); }

void PollNotifier::RunOnce(int milliseconds) {
  if (!posted_.empty()) {
    auto call = std::move(posted_.front());
    posted_.pop_front();
    call();
    return;
  }
  std::vector<pollfd> entries;
  for (const auto& [fd, entry] : watched_) {
    short events = static_cast<short>((entry.read ? POLLIN : 0) | (entry.write ? POLLOUT : 0));
    if (events) entries.push_back({fd, events, 0});
  }
  if (::poll(entries.data(), entries.size(), milliseconds) <= 0) return;
  for (const pollfd& entry : entries) {
    if (!entry.revents) continue;
    auto found = watched_.find(entry.fd);  // an earlier callback may have dropped it
    if (found == watched_.end()) continue;
    bool error = entry.revents & (POLLERR | POLLHUP | POLLNVAL);
    bool readable = found->second.read && ((entry.revents & POLLIN) || error);
    bool writable = found->second.write && ((entry.revents & POLLOUT) || error);
    if (!readable && !writable) continue;
    auto ready = found->second.ready;  // the callback may replace its own entry
    ready(readable, writable);
  }
}

bool PollNotifier::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds bound) {
  auto end = std::chrono::steady_clock::now() + bound;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    RunOnce(10);
  }
  return true;
}

}  // namespace corvelle::testing
