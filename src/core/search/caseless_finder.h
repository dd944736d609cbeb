#pragma once
// Finding a text in bytes with ASCII letters compared without regard to case: the fast first
// look of the message search. The bytes are lowered into a copy once, which every text
// looked for is then found in with memmem.

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>

namespace corvelle {

// `bytes` with the ASCII letters lowered, into `out` (its storage reused). A long text is
// lowered in slices, and `cancel`, when given and set, ends it between two with false.
bool LowerAscii(std::string_view bytes, std::string& out, const std::atomic<bool>* cancel = nullptr);

class CaselessFinder {
 public:
  // Looks for `needle`; bytes above 127 must match exactly.
  explicit CaselessFinder(std::string_view needle);

  // The offset of the first occurrence at or after `from` in text that LowerAscii lowered,
  // or npos. An empty needle is found at `from`.
  size_t FindLowered(std::string_view lowered, size_t from = 0) const;

  // True when `bytes` (not lowered) hold the needle.
  bool In(std::string_view bytes) const;

 private:
  std::string lower_;  // the needle, ASCII letters lowered
};

}  // namespace corvelle
