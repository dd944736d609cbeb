#include "ui/viewer/opened_attachments.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace corvelle {
namespace {

constexpr std::string_view kPrefix = "corvelle-attachments-";
constexpr size_t kNameMax = 255;
// Longer "extensions" are part of the name, not a type the desktop looks at.
constexpr size_t kExtensionMax = 32;

// The pid in a folder name "corvelle-attachments-<pid>-XXXXXX"; 0 when it is no such name.
pid_t OwnerPid(std::string_view name) {
  if (!name.starts_with(kPrefix)) return 0;
  name.remove_prefix(kPrefix.size());
  size_t dash = name.find('-');
  if (dash == 0 || dash == std::string_view::npos) return 0;
  long pid = 0;
  for (char c : name.substr(0, dash)) {
    if (c < '0' || c > '9' || pid > 1L << 30) return 0;
    pid = pid * 10 + (c - '0');
  }
  return static_cast<pid_t>(pid);
}

bool Alive(pid_t pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

}  // namespace

std::string OpenedAttachmentName(std::string_view name) {
  std::string clean;
  for (char c : name) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 32 || byte == 127) continue;
    clean += c == '/' ? '_' : c;
  }
  if (clean.empty() || clean == "." || clean == "..") clean = "attachment";
  if (clean.size() <= kNameMax) return clean;
  size_t dot = clean.rfind('.');
  std::string extension = dot != std::string::npos && dot > 0 && clean.size() - dot <= kExtensionMax
                              ? clean.substr(dot) : "";
  std::string base = clean.substr(0, clean.size() - extension.size());
  // Cut before a continuation byte would split a character.
  size_t keep = kNameMax - extension.size();
  while (keep > 0 && (static_cast<unsigned char>(base[keep]) & 0xC0) == 0x80) --keep;
  base.resize(keep);
  return base + extension;
}

OpenedAttachments::OpenedAttachments(std::string temp_root) : root_(std::move(temp_root)) {}

OpenedAttachments::~OpenedAttachments() {
  std::error_code error;
  if (!folder_.empty()) std::filesystem::remove_all(folder_, error);
}

std::string OpenedAttachments::NewPath(std::string_view name) {
  if (folder_.empty()) {
    std::string pattern = root_ + "/" + std::string(kPrefix) + std::to_string(::getpid()) + "-XXXXXX";
    if (!::mkdtemp(pattern.data())) return "";
    folder_ = pattern;
  }
  std::string sub = folder_ + "/" + std::to_string(++next_);
  if (::mkdir(sub.c_str(), 0700) != 0) return "";
  return sub + "/" + OpenedAttachmentName(name);
}

int OpenedAttachments::SweepStale(const std::string& temp_root) {
  int removed = 0;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(temp_root, error)) {
    pid_t pid = OwnerPid(entry.path().filename().string());
    struct stat st {};
    if (pid <= 0 || pid == ::getpid() || Alive(pid)) continue;
    if (::lstat(entry.path().c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) continue;
    std::error_code remove_error;
    if (std::filesystem::remove_all(entry.path(), remove_error) > 0 && !remove_error) ++removed;
  }
  return removed;
}

OpenedAttachments& ProcessAttachments() {
  // Destroyed, and so removed, with the process's other static objects at a normal end.
  static OpenedAttachments attachments([] {
    std::error_code error;
    std::string root = std::filesystem::temp_directory_path(error).string();
    if (root.empty()) root = "/tmp";
    OpenedAttachments::SweepStale(root);
    return root;
  }());
  return attachments;
}

}  // namespace corvelle
