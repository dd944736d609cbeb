#pragma once
// Scratch folders for the store benchmarks. Each run works in fresh folders and removes
// them only when the process ends: on ext4, creating files right after thousands were
// deleted is several times slower for a while, which would distort the next timed run.

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

namespace corvelle::bench {

class ScratchRoot {
 public:
  static ScratchRoot& Get() {
    static ScratchRoot root;
    return root;
  }
  // A new folder "<root>/<name>-<n>/", made.
  std::string NewFolder(const std::string& name) {
    std::string path = root_ + name + "-" + std::to_string(++count_) + "/";
    std::filesystem::create_directories(path);
    return path;
  }
  ~ScratchRoot() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

 private:
  ScratchRoot() {
    std::string pattern = (std::filesystem::temp_directory_path() / "corvelle-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    root_ = pattern + "/";
  }
  std::string root_;
  int count_ = 0;
};

// Creates a file directly, past the store (a stand-in for files that were already there).
inline void CreateRaw(const std::string& path, const std::string& data) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0 || ::write(fd, data.data(), data.size()) != static_cast<ssize_t>(data.size()))
    throw std::runtime_error("cannot create " + path);
  ::close(fd);
}

inline std::string Hex(size_t n) {
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "%zX", n);
  return buffer;
}

using Clock = std::chrono::steady_clock;

inline double Micros(Clock::duration d) { return std::chrono::duration<double, std::micro>(d).count(); }

// Median of `costs` over [from, to): a call that lost the processor to another program on
// this shared machine does not move it.
inline double MedianOver(const std::vector<double>& costs, size_t from, size_t to) {
  std::vector<double> window(costs.begin() + static_cast<long>(from), costs.begin() + static_cast<long>(to));
  std::nth_element(window.begin(), window.begin() + static_cast<long>(window.size() / 2), window.end());
  return window[window.size() / 2];
}

// Mean of `costs` over [from, to).
inline double MeanOver(const std::vector<double>& costs, size_t from, size_t to) {
  return std::accumulate(costs.begin() + static_cast<long>(from), costs.begin() + static_cast<long>(to), 0.0) /
         static_cast<double>(to - from);
}

}  // namespace corvelle::bench
