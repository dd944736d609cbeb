#include "net/pop3/spool_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cctype>
#include <cstdio>

#include "platform/disk_sync.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

constexpr size_t kBufferLimit = 64 * 1024;
constexpr int kNameAttempts = 16;
// No counter gets this far; the bound only rules out an endless search.
constexpr std::uint64_t kCounterLimit = 0x100000000ull;
constexpr std::string_view kWorkSuffix = ".part";

std::string Hex(std::uint64_t n) {
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "%llX", static_cast<unsigned long long>(n));
  return buffer;
}

std::string WorkName(std::uint64_t n) { return "." + Hex(n) + std::string(kWorkSuffix); }

SpoolWriteFault& InstalledFault() {
  static SpoolWriteFault fault;
  return fault;
}

}  // namespace

void SetSpoolWriteFault(SpoolWriteFault fault) { InstalledFault() = std::move(fault); }

SpoolWriter::~SpoolWriter() {
  if (fd_ >= 0) ::close(fd_);
}

bool SpoolWriter::CreateWork(const std::string& folder, std::uint64_t& next) {
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    // The name after the last one is free as a rule: the folder's index is asked only when
    // it was not.
    std::uint64_t generation = 0;
    std::uint64_t n = attempt == 0 ? next : FirstFreeIndexedName(folder, next, kCounterLimit, WorkName, generation);
    if (n >= kCounterLimit) break;
    next = n + 1;
    path_ = folder + "/" + WorkName(n);
    fd_ = CreateNewFile(path_, 0600);
    if (fd_ >= 0) return true;
    if (errno != EEXIST) break;
  }
  path_.clear();
  return false;
}

bool SpoolWriter::Append(std::string_view bytes) {
  if (failed_) return false;
  buffer_.append(bytes);
  size_ += static_cast<long long>(bytes.size());
  if (buffer_.size() >= kBufferLimit) return WriteBuffer();
  return true;
}

bool SpoolWriter::WriteBuffer() {
  size_t at = 0;
  while (!failed_ && at < buffer_.size()) {
    int fault = InstalledFault() ? InstalledFault()(buffer_.size() - at) : 0;
    if (fault != 0) errno = fault;
    ssize_t n = fault != 0 ? -1 : ::write(fd_, buffer_.data() + at, buffer_.size() - at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      failed_ = true;
      error_ = n < 0 ? errno : ENOSPC;  // a write that takes nothing: no room
    } else {
      at += static_cast<size_t>(n);
    }
  }
  buffer_.clear();
  return !failed_;
}

bool SpoolWriter::Close() {
  if (fd_ < 0) return false;
  bool ok = WriteBuffer();
  if (ok) StartWriteBack(fd_);  // the commit's flush then finds the data on its way
  if (::close(fd_) != 0) {
    if (ok) error_ = errno;
    ok = false;
  }
  fd_ = -1;
  return ok;
}

bool SpoolWriter::Complete() {
  if (fd_ < 0) return false;
  if (!WriteBuffer()) return Close();
  StartWriteBack(fd_);
  return true;
}

bool SpoolWriter::IsWorkName(std::string_view name) {
  if (name.size() <= 1 + kWorkSuffix.size() || name[0] != '.' || !name.ends_with(kWorkSuffix)) return false;
  for (char c : name.substr(1, name.size() - 1 - kWorkSuffix.size()))
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

int SpoolWriter::RemoveWorkFiles(const std::string& folder, const std::set<std::string>& keep) {
  int removed = 0;
  for (const FolderEntry& entry : ReadFolder(folder))
    if (!entry.is_folder && IsWorkName(entry.name) && !keep.contains(entry.name) &&
        RemoveFile(folder + "/" + entry.name))
      ++removed;
  return removed;
}

std::string SpoolWriter::MoveToFreeName(const std::string& from, const std::string& folder,
                                        const std::string& extension, std::uint64_t& next) {
  auto name_of = [&extension](std::uint64_t n) { return Hex(n) + extension; };
  for (;;) {
    std::uint64_t generation = 0;
    std::uint64_t n = FirstFreeIndexedName(folder, next, kCounterLimit, name_of, generation);
    if (n >= kCounterLimit) return "";
    next = n + 1;
    std::string to = folder + "/" + name_of(n);
    // A move that never replaces finds a name the index has not seen yet taken.
    switch (MoveNoReplace(from, to)) {
      case MoveResult::kMoved: return to;
      case MoveResult::kTargetExists: break;  // taken since the look-up: the next one
      case MoveResult::kFailed: return "";
    }
  }
}

void SpoolWriter::Remove() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!path_.empty()) RemoveFile(path_);
  path_.clear();
}

}  // namespace corvelle
