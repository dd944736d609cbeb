#pragma once
// Reading a mailbox file line by line through a bounded buffer, from any offset, so that a
// mailbox of any size costs the memory of its longest line.

#include <cstdint>
#include <string>
#include <string_view>

namespace corvelle {

class MailboxReader {
 public:
  MailboxReader() = default;
  ~MailboxReader();
  MailboxReader(const MailboxReader&) = delete;
  MailboxReader& operator=(const MailboxReader&) = delete;

  // Opens `path` (a regular file) for reading from `offset`, closing what was open before;
  // the buffer stays for the next file. False when it cannot be opened.
  bool Open(const std::string& path, std::uint64_t offset = 0);
  // The next line with its line end ("\n", "\r\n", or none at the end of the file); valid
  // until the next call. False at the end of the file or on a read error (Failed()).
  bool Next(std::string_view& line);

  std::uint64_t Offset() const { return buffer_offset_ + start_; }  // of the next line
  std::uint64_t Size() const { return size_; }
  std::uint64_t Inode() const { return inode_; }
  bool Failed() const { return failed_; }

 private:
  bool Fill();

  int fd_ = -1;
  std::string buffer_;
  size_t start_ = 0, end_ = 0;
  std::uint64_t buffer_offset_ = 0, size_ = 0, inode_ = 0;
  bool eof_ = false, failed_ = false;
};

}  // namespace corvelle
