#include "core/browse/date_cache.h"

#include <fcntl.h>
#include <unistd.h>

#include <vector>

#include "core/mime/date_field.h"
#include "core/store/header_lines.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

constexpr size_t kHeaderLimit = 64 * 1024;

// The header lines of the file: read in blocks until the empty line (or the limit).
bool ReadHeaderLines(const std::string& path, std::vector<std::string>& lines) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  std::string text;
  char block[4096];
  while (text.size() < kHeaderLimit) {
    const ssize_t got = ::read(fd, block, sizeof block);
    if (got <= 0) break;
    text.append(block, static_cast<size_t>(got));
    if (text.find("\n\n") != std::string::npos || text.find("\n\r\n") != std::string::npos) break;
  }
  ::close(fd);
  text.resize(HeaderSize(text));
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) break;
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return true;
}

}  // namespace

std::optional<std::string> ReadDateField(const std::string& path) {
  std::vector<std::string> lines;
  if (!ReadHeaderLines(path, lines)) return std::nullopt;
  constexpr std::string_view kDate = "date:";
  for (size_t i = 0; i < lines.size(); ++i)
    if (lines[i].size() >= kDate.size() && SameNameIgnoringCase(std::string_view(lines[i]).substr(0, kDate.size()), kDate))
      return UnfoldedField(lines, i, kDate.size(), 1024);
  return std::nullopt;
}

std::optional<int64_t> DateCache::Known(const std::string& path, int64_t size, int64_t mtime) const {
  auto found = entries_.find(path);
  if (found == entries_.end() || found->second.size != size || found->second.mtime != mtime) return std::nullopt;
  return found->second.date;
}

std::optional<int64_t> DateCache::Date(const std::string& path, int64_t size, int64_t mtime) {
  auto found = entries_.find(path);
  if (found != entries_.end() && found->second.size == size && found->second.mtime == mtime) return found->second.date;
  ++headers_read_;
  std::optional<int64_t> date;
  if (std::optional<std::string> field = ReadDateField(path)) date = ParseDateField(*field);
  entries_[path] = {size, mtime, date};
  return date;
}

}  // namespace corvelle
