#pragma once
// Adding a mailbox's worth of bytes to the end of a mailbox file through a bounded buffer,
// so that an export of any size costs the memory of the buffer. The file's old contents are
// never at risk: nothing counts until Finish(), and a run that does not finish is taken
// back (the file cut to its old length, or a new file never given its name).

#include <cstdint>
#include <string>
#include <string_view>

namespace corvelle {

// A hash of a byte stream, the same however the stream is cut into pieces: what was written
// is compared with what reads back without keeping it.
class StreamHash {
 public:
  void Add(std::string_view bytes);
  std::uint64_t Value() const;

 private:
  void Take(char c);
  void Mix(std::uint64_t word) { hash_ = (hash_ ^ word) * 0x100000001b3ull + (hash_ >> 29); }
  std::uint64_t hash_ = 0xcbf29ce484222325ull, tail_ = 0, length_ = 0;
};

class MailboxWriter {
 public:
  MailboxWriter() = default;
  ~MailboxWriter();  // Abandon() unless finished
  MailboxWriter(const MailboxWriter&) = delete;
  MailboxWriter& operator=(const MailboxWriter&) = delete;

  // Opens `path` for appending, or, when no such file exists, a new hidden work file beside
  // it that Finish() renames without replacing (a run cut short leaves it, hidden). False when neither can be opened.
  bool Open(const std::string& path);
  // Adds `bytes` (written a buffer at a time). False once a write has failed.
  bool Write(std::string_view bytes);
  // Writes the rest, flushes the file, reads the new bytes back and compares them with what
  // was written, then gives a new file its name and flushes its folder. True only when the
  // file then holds its old contents followed by exactly the bytes written; otherwise the
  // run is taken back.
  bool Finish();
  // Takes the run back: an appended file is cut to its old length and flushed, a work file
  // removed.
  void Abandon();

 private:
  bool Drain();
  bool ReadsBack() const;

  int fd_ = -1;
  std::string path_, work_;  // work_: the hidden name of a new file, else empty
  std::string buffer_;
  std::uint64_t old_size_ = 0, written_ = 0;
  StreamHash hash_;
  bool failed_ = false;
};

}  // namespace corvelle
