#pragma once
// Finding a text in bytes with ASCII letters compared without regard to case: the fast first
// look of the message search, made over whole files.

#include <array>
#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>

namespace corvelle {

class CaselessFinder {
 public:
  // Looks for `needle`; bytes above 127 must match exactly.
  explicit CaselessFinder(std::string_view needle);

  // True when `haystack` holds the needle (an empty needle is in everything). A long
  // haystack is searched in slices, and `cancel`, when given and set, ends the search
  // between two slices with false.
  bool In(std::string_view haystack, const std::atomic<bool>* cancel = nullptr) const;

  // The offset of the first occurrence at or after `from`, or npos.
  size_t Find(std::string_view haystack, size_t from = 0) const;

 private:
  std::string lower_;                 // the needle, ASCII letters lowered
  std::array<size_t, 256> skip_{};   // Horspool's shift for each byte of the window's end
};

}  // namespace corvelle
