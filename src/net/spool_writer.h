#pragma once
// One new message file in the spool folder, written through a buffer. The file is created
// under a free counter name and never replaces an existing file.

#include <string>
#include <string_view>

namespace corvelle {

class SpoolWriter {
 public:
  SpoolWriter() = default;
  ~SpoolWriter();
  SpoolWriter(const SpoolWriter&) = delete;
  SpoolWriter& operator=(const SpoolWriter&) = delete;

  // Creates an empty file named UniqueFileName(folder, extension) (mode 0600; another free
  // name when that one was taken meanwhile). False when no file could be created.
  bool Create(const std::string& folder, const std::string& extension);

  // Adds bytes. False once any write has failed.
  bool Append(std::string_view bytes);
  // Writes what is buffered and closes the file. False when any write or the close failed.
  bool Close();
  // Closes (if open) and deletes the file.
  void Remove();

  const std::string& path() const { return path_; }
  // The bytes added so far.
  long long size() const { return size_; }

 private:
  bool WriteBuffer();

  std::string path_, buffer_;
  int fd_ = -1;
  long long size_ = 0;
  bool failed_ = false;
};

}  // namespace corvelle
