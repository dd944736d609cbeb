#include "core/file_naming.h"

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <unordered_map>

#include "core/settings.h"
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

// `path` with its folder part resolved ignoring case and its name kept as given.
void SplitResolved(const std::string& path, std::string& folder, std::string& name) {
  folder = ResolvePath(FolderPart(path));
  name = NamePart(path);
}

bool Taken(const std::string& folder, const std::string& name) {
  return FolderHasNameIgnoringCase(folder, name) || EntryExists(folder + name);
}

// No counter gets this far in a real folder; the bound only rules out an endless loop on a
// file system that refuses every name.
constexpr std::uint64_t kLastCounter = 0xFFFFFFFFull;

}  // namespace

std::string UniqueFileName(const std::string& folder, const std::string& extension) {
  std::string base = ResolvePath(StripTrailingSlashes(folder));
  if (base.empty() || base.back() != '/') base += '/';
  std::uint64_t generation = FolderNamesGeneration(base);
  std::string key = AsciiLower(base) + '\n' + AsciiLower(extension);
  std::uint64_t n = HintFor(key, generation);
  for (; n < kLastCounter; ++n) {
    std::string name = Hex(n) + extension;
    if (!Taken(base, name)) break;
  }
  RememberHint(key, generation, n);
  return base + Hex(n) + extension;
}

std::string SpoolFileName() { return UniqueFileName(MailSettings.MailDirectory + "Spool", ".out"); }

bool MoveFileUnique(const std::string& source, const std::string& target, std::string& final_name) {
  final_name.clear();
  std::string from = ResolvePath(source);
  std::string folder, name;
  SplitResolved(target, folder, name);
  std::string ext = FileExtension(name);
  std::string stem = name.substr(0, name.size() - ext.size());
  std::string key = AsciiLower(folder + stem) + '\n' + AsciiLower(ext);

  // Candidate -2 is the target itself, -1 "Name 0", n >= 0 "Name<n>".
  std::int64_t candidate = -2;
  for (;;) {
    Ui().ProcessEvents();
    std::string try_name = candidate == -2   ? name
                           : candidate == -1 ? stem + " 0" + ext
                                             : stem + Hex(static_cast<std::uint64_t>(candidate)) + ext;
    if (!Taken(folder, try_name)) {
      switch (MoveNoReplace(from, folder + try_name)) {
        case MoveResult::kMoved:
          final_name = folder + try_name;
          if (candidate >= 0) RememberHint(key, FolderNamesGeneration(folder), candidate + 1);
          return true;
        case MoveResult::kFailed:
          return false;
        case MoveResult::kTargetExists:
          break;  // appeared since the check: try the next one
      }
    }
    if (candidate == -1) {
      candidate = static_cast<std::int64_t>(HintFor(key, FolderNamesGeneration(folder)));
    } else if (++candidate > static_cast<std::int64_t>(kLastCounter)) {
      return false;
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
