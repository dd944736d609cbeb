#pragma once
// One new message file in the spool folder, written through a buffer. The file is created
// under a free counter name and never replaces an existing file.
//
// A retrieved message is written under a hidden work name (".<counter>.part", see
// IsWorkName), which the filter never takes, and gets its ".new" name only once it is
// complete and on disk (MoveToFreeName). A crash mid-message then leaves at most a work file,
// never an incomplete message under a name that says it is complete.

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <utility>

namespace corvelle {

// Tests make writes fail as a full disk does: `fault` gets the bytes about to be written
// and returns 0 to let them be written, or the errno to fail with. nullptr removes it.
using SpoolWriteFault = std::function<int(size_t bytes)>;
void SetSpoolWriteFault(SpoolWriteFault fault);

class SpoolWriter {
 public:
  SpoolWriter() = default;
  ~SpoolWriter();
  SpoolWriter(const SpoolWriter&) = delete;
  SpoolWriter& operator=(const SpoolWriter&) = delete;

  // Creates an empty work file in `folder` (resolved, no trailing "/") under the first free
  // work name whose counter is at least `next`; `next` moves past the name taken, so a caller
  // that keeps it makes many work files without searching from 0 each time. False when no
  // file could be created.
  bool CreateWork(const std::string& folder, std::uint64_t& next);

  // Adds bytes. False once any write has failed.
  bool Append(std::string_view bytes);
  // Writes what is buffered and closes the file. False when any write or the close failed.
  bool Close();
  // Writes what is buffered and keeps the file open for a later flush (TakeDescriptor),
  // which spares opening it again. False (the file closed) when any write failed.
  bool Complete();
  // The open file's descriptor, which the caller now closes; -1 when it is not open.
  int TakeDescriptor() { return std::exchange(fd_, -1); }
  // Closes (if open) and deletes the file.
  void Remove();

  const std::string& path() const { return path_; }
  // The bytes added so far.
  long long size() const { return size_; }
  // The errno of the first failed write or close, 0 while none failed.
  int error() const { return error_; }

  // True for a work name as CreateWork makes them: ".", hexadecimal digits, ".part".
  static bool IsWorkName(std::string_view name);
  // Deletes every file of `folder` that has a work name, but those named in `keep`. Returns
  // how many were deleted.
  static int RemoveWorkFiles(const std::string& folder, const std::set<std::string>& keep = {});
  // Moves the file `from` into `folder` (resolved, no trailing "/") under the first free name
  // <counter><extension> with a counter of at least `next` (a name taken in any letter case
  // counts as taken), never replacing anything; `next` moves past the name used. Returns the
  // new path, "" when the move failed.
  static std::string MoveToFreeName(const std::string& from, const std::string& folder, const std::string& extension,
                                    std::uint64_t& next);

 private:
  bool WriteBuffer();

  std::string path_, buffer_;
  int fd_ = -1;
  long long size_ = 0;
  bool failed_ = false;
  int error_ = 0;
};

}  // namespace corvelle
