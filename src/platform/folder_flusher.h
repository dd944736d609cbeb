#pragma once
// Flushing folders behind a run of moves, on one helper thread, so that the next piece of
// work goes on meanwhile. A request made while a flush runs is served by the next flush,
// which then covers every request made in between (a request the same as one still waiting
// adds nothing): the flushes keep pace with the disk, not with the number of moves.

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace corvelle {

class FolderFlusher {
 public:
  FolderFlusher() = default;
  FolderFlusher(const FolderFlusher&) = delete;
  FolderFlusher& operator=(const FolderFlusher&) = delete;
  ~FolderFlusher();  // waits for every flush asked for

  // Asks for `folders` to be flushed, in this order (a folder gaining a name before the one
  // losing it), starting at once when no flush runs.
  void Request(const std::vector<std::string>& folders);
  // Returns when every folder asked for so far is flushed.
  void Wait();

 private:
  void Run();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::vector<std::string>> pending_;  // each request's folders, in its order
  unsigned long asked_ = 0, done_ = 0;  // requests made, and requests whose flush has ended
  bool stopping_ = false;
  std::thread worker_;
};

}  // namespace corvelle
