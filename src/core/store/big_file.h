#pragma once
// A whole file in memory, read line by line.

#include <cstddef>
#include <string>

namespace corvelle {

class TBigFile {
 public:
  // Loads the whole file; false (and empty) when it cannot be read.
  bool LoadFromFile(const std::string& path);
  // Loads the regular file `path`, taken as given (resolve it first), with one open and,
  // for a file that does not grow meanwhile, one read. False (and empty) when it cannot be
  // read or holds more than `limit` bytes.
  bool LoadFromFileWithin(const std::string& path, size_t limit);
  void LoadFromString(std::string data);

  // The next line without its line end (CR LF or LF; a CR elsewhere stays in the line);
  // false, with `s` empty, at the end of the data.
  bool GetNextString(std::string& s);

  size_t Position() const;
  void SetPosition(size_t position);
  size_t Size() const;
  const std::string& Data() const;

 private:
  std::string data_;
  size_t position_ = 0;
};

}  // namespace corvelle
