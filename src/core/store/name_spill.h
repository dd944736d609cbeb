#pragma once
// Lists of names of any length in bounded memory.

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace corvelle {

// Names written one after another to an unnamed temporary file and read back in the same
// order. Without a temporary file they are kept in memory instead.
class NameSpill {
 public:
  NameSpill() = default;
  NameSpill(const NameSpill&) = delete;
  NameSpill& operator=(const NameSpill&) = delete;
  ~NameSpill();

  void Add(std::string_view name);
  // Starts reading at the first name; false when the temporary file failed.
  bool Rewind();
  // The next name; false at the end, or when the file failed (Failed tells).
  bool Next(std::string& name);
  bool Failed() const { return failed_; }

 private:
  std::FILE* file_ = nullptr;
  std::string memory_;  // names NUL-terminated, while there is no file
  size_t read_ = 0;
  char* line_ = nullptr;
  size_t line_size_ = 0;
  bool opened_ = false, failed_ = false;
};

}  // namespace corvelle
