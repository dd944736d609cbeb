#include "platform/folder_flusher.h"

#include <algorithm>

#include "platform/paths.h"

namespace corvelle {

FolderFlusher::~FolderFlusher() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (worker_.joinable()) worker_.join();
}

void FolderFlusher::Request(const std::vector<std::string>& folders) {
  {
    std::lock_guard lock(mutex_);
    if (std::find(pending_.begin(), pending_.end(), folders) == pending_.end()) pending_.push_back(folders);
    ++asked_;
    if (!worker_.joinable()) worker_ = std::thread([this] { Run(); });
  }
  changed_.notify_all();
}

void FolderFlusher::Wait() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return done_ == asked_; });
}

void FolderFlusher::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || !pending_.empty(); });
    if (pending_.empty()) return;  // stopping, with nothing left to flush
    std::vector<std::vector<std::string>> requests;
    requests.swap(pending_);
    unsigned long covered = asked_;
    lock.unlock();
    // A failed flush has no remedy here: the moves themselves stand.
    for (const std::vector<std::string>& folders : requests)
      for (const std::string& folder : folders) SyncPath(folder);
    lock.lock();
    done_ = covered;
    changed_.notify_all();
  }
}

}  // namespace corvelle
