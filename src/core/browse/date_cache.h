#pragma once
// The Date fields of message files, read when first asked for and kept by path, size and
// modification time: a list asks only for the rows it shows, and asks again at every paint.

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

namespace corvelle {

// The value of the message file's Date field, unfolded; nothing when the header (read up to
// its empty line, at most 64 KiB) has none or the file cannot be read.
std::optional<std::string> ReadDateField(const std::string& path);

class DateCache {
 public:
  // The time of the Date field of the file `path`, whose size and time are `size` and
  // `mtime`: read once (ParseDateField), then kept until the file's size or time changes.
  // Nothing when the file has no readable date.
  std::optional<int64_t> Date(const std::string& path, int64_t size, int64_t mtime);

  // The time when it is known already; never reads.
  std::optional<int64_t> Known(const std::string& path, int64_t size, int64_t mtime) const;

  // How many headers were read so far.
  int64_t HeadersRead() const { return headers_read_; }

 private:
  struct Entry {
    int64_t size;
    int64_t mtime;
    std::optional<int64_t> date;
  };
  std::unordered_map<std::string, Entry> entries_;
  int64_t headers_read_ = 0;
};

}  // namespace corvelle
