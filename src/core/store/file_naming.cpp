#include "core/store/file_naming.h"

#include <algorithm>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <mutex>
#include <unordered_map>

#include "core/user_interface.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

// Remembered search positions: in a folder that keeps its names, every candidate below `next`
// was taken last time, so the next search starts there. Without this, naming the n-th file
// costs n probes and filling a folder is quadratic.
struct SearchHint {
  std::uint64_t generation = 0;
  std::uint64_t next = 0;
};

constexpr size_t kMaxHints = 4096;

std::mutex hint_mutex;
std::unordered_map<std::string, SearchHint> hints;

std::uint64_t HintFor(const std::string& key, std::uint64_t generation) {
  std::lock_guard lock(hint_mutex);
  auto it = hints.find(key);
  return (it != hints.end() && it->second.generation == generation) ? it->second.next : 0;
}

void RememberHint(const std::string& key, std::uint64_t generation, std::uint64_t next) {
  std::lock_guard lock(hint_mutex);
  if (hints.size() >= kMaxHints && !hints.count(key)) hints.clear();
  hints[key] = {generation, next};
}

std::string Hex(std::uint64_t n) {
  char buffer[24];
  std::snprintf(buffer, sizeof buffer, "%llX", static_cast<unsigned long long>(n));
  return buffer;
}

std::string StripTrailingSlashes(std::string s) {
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

// An entry of exactly that name, come since the index was read, is left to the move itself,
// which never replaces one.
bool Taken(const std::string& folder, const std::string& name) { return FolderHasNameIgnoringCase(folder, name); }

// No counter gets this far in a real folder; the bound only rules out an endless loop on a
// file system that refuses every name.
constexpr std::uint64_t kLimit = 0x100000000ull;

// Walks the candidates name_of(0), name_of(1), ... of one folder, starting where the last
// search in the unchanged folder ended.
class CandidateSearch {
 public:
  CandidateSearch(std::string folder, std::string key, std::function<std::string(std::uint64_t)> name_of)
      : folder_(std::move(folder)), key_(std::move(key)), name_of_(std::move(name_of)) {
    generation_ = FolderNamesGeneration(folder_);
    next_ = HintFor(key_, generation_);
  }

  // The first candidate from here on that no entry of the folder takes; kLimit when none.
  std::uint64_t Next() {
    for (;;) {
      std::uint64_t seen = 0;
      std::uint64_t n = FirstFreeIndexedName(folder_, next_, kLimit, name_of_, seen);
      if (seen != generation_) {
        // Names may have left the folder since the hint was read: search from the start
        // (a few times at most, for a folder that keeps changing).
        generation_ = seen;
        if (next_ != 0 && restarts_++ < kMaxRestarts) {
          next_ = 0;
          continue;
        }
      }
      if (n >= kLimit || !EntryExists(folder_ + name_of_(n))) return n;
      next_ = n + 1;  // the index is behind the folder
    }
  }

  // `n` turned out taken after all.
  void Skip(std::uint64_t n) { next_ = n + 1; }

  // Every candidate below `n` is taken now.
  void Remember(std::uint64_t n) { RememberHint(key_, generation_, n); }

  const std::string& folder() const { return folder_; }
  std::string Name(std::uint64_t n) const { return name_of_(n); }

 private:
  static constexpr int kMaxRestarts = 3;
  std::string folder_, key_;
  std::function<std::string(std::uint64_t)> name_of_;
  std::uint64_t generation_ = 0, next_ = 0;
  int restarts_ = 0;
};

// Moves `from` to folder + name unless a name equal to it ignoring case is taken.
MoveResult MoveIfFree(const std::string& from, const std::string& folder, const std::string& name) {
  return Taken(folder, name) ? MoveResult::kTargetExists : MoveNoReplace(from, folder + name);
}

}  // namespace

std::string UniqueFileName(const std::string& folder, const std::string& extension) {
  std::string base = ResolvePath(StripTrailingSlashes(folder));
  if (base.empty() || base.back() != '/') base += '/';
  CandidateSearch search(base, AsciiLower(base) + '\n' + AsciiLower(extension),
                         [&extension](std::uint64_t n) { return Hex(n) + extension; });
  std::uint64_t n = search.Next();
  search.Remember(n);
  return base + search.Name(n);
}

bool MoveFileUnique(UserInterface& ui, const std::string& source, const std::string& target, std::string& final_name) {
  return MoveResolvedFileUnique(ui, ResolvePath(source), ResolvePath(FolderPart(target)) + NamePart(target), final_name);
}

bool MoveResolvedFileUnique(UserInterface& ui, const std::string& from, const std::string& target,
                            std::string& final_name) {
  final_name.clear();
  std::string folder = FolderPart(target), name = NamePart(target);
  std::string ext = FileExtension(name);
  std::string stem = name.substr(0, name.size() - ext.size());

  // The target itself, then "Name 0", then "Name0", "Name1", ...
  for (const std::string& candidate : {name, stem + " 0" + ext}) {
    ui.ProcessEvents();
    switch (MoveIfFree(from, folder, candidate)) {
      case MoveResult::kMoved:
        final_name = folder + candidate;
        return true;
      case MoveResult::kFailed:
        return false;
      case MoveResult::kTargetExists:
        break;
    }
  }
  CandidateSearch search(folder, AsciiLower(folder + stem) + '\n' + AsciiLower(ext),
                         [&stem, &ext](std::uint64_t n) { return stem + Hex(n) + ext; });
  for (;;) {
    ui.ProcessEvents();
    std::uint64_t n = search.Next();
    if (n >= kLimit) return false;
    switch (MoveNoReplace(from, folder + search.Name(n))) {
      case MoveResult::kMoved:
        final_name = folder + search.Name(n);
        search.Remember(n + 1);
        return true;
      case MoveResult::kFailed:
        return false;
      case MoveResult::kTargetExists:
        search.Skip(n);  // appeared since the check: the next one
        break;
    }
  }
}

void SanitizeFileName(std::string& s) {
  for (char& c : s) {
    auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '\\':
      case '/':
      case ':':
      case '?':
        c = '-';
        break;
      case '*':
        c = '~';
        break;
      case '"':
        c = '\'';
        break;
      case '<':
        c = '(';
        break;
      case '>':
        c = ')';
        break;
      case '|':
        c = '[';
        break;
      case '.':
        c = ',';
        break;
      default:
        if (byte < 32 || byte > 126) c = ' ';
    }
  }
}

namespace {

// The length of the valid UTF-8 sequence of two or more bytes at s[i], else 0.
size_t Utf8SequenceAt(std::string_view s, size_t i) {
  const auto lead = static_cast<unsigned char>(s[i]);
  const size_t size = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 && lead < 0xE0 ? 2 : 0;
  if (size == 0 || lead > 0xF4 || i + size > s.size()) return 0;
  for (size_t k = 1; k < size; ++k)
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  return size;
}

}  // namespace

void SanitizeDecodedName(std::string& s) {
  for (size_t i = 0; i < s.size();) {
    if (size_t size = Utf8SequenceAt(s, i)) {
      i += size;
      continue;
    }
    std::string one(1, s[i]);
    SanitizeFileName(one);
    s[i++] = one[0];
  }
}

size_t Utf8PrefixBytes(std::string_view s, size_t width) {
  size_t at = 0;
  for (size_t chars = 0; chars < width && at < s.size(); ++chars) at += std::max<size_t>(1, Utf8SequenceAt(s, at));
  return at;
}

bool IsBadFileName(const std::string& s) {
  std::string cleaned = s;
  SanitizeFileName(cleaned);
  return cleaned != s;
}

std::string FileExtension(std::string_view name) {
  size_t slash = name.rfind('/');
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return {};
  return std::string(name.substr(dot));
}

}  // namespace corvelle
