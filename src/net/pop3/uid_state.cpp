#include "net/pop3/uid_state.h"

#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <cstdio>

#include "net/pop3/pop3_reply.h"
#include "net/pop3/spool_writer.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

std::string Escaped(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                 c == '-' || c == '_';
    if (plain) {
      out += static_cast<char>(c);
    } else {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    }
  }
  return out;
}

// The size of a regular file, -1 when there is none.
long long FileSize(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) ? info.st_size : -1;
}

}  // namespace

std::string UidState::FileFor(const std::string& mail_directory, const std::string& user,
                              const std::string& server) {
  return ResolvePath(mail_directory + "System") + "/uids-" + Escaped(user) + "@" + Escaped(server) + ".txt";
}

void UidState::Load(const std::string& path) {
  path_ = path;
  ids_.clear();
  work_.clear();
  std::string text;
  if (!ReadWholeFile(path, text)) return;
  int number = 0;
  std::string id;
  for (size_t at = 0, end; at < text.size(); at = end + 1) {
    end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    size_t tab = line.find('\t'), tab2 = tab == std::string::npos ? tab : line.find('\t', tab + 1);
    // The same grammar as the server's listing, with a number in front.
    if (!ParseUidlLine("1 " + line.substr(0, tab), number, id)) continue;
    ids_.insert(id);
    if (tab2 == std::string::npos) continue;
    Work work{line.substr(tab + 1, tab2 - tab - 1), std::atoll(line.c_str() + tab2 + 1)};
    if (SpoolWriter::IsWorkName(work.name)) work_[id] = work;
  }
}

bool UidState::Save() const {
  std::string text;
  for (const std::string& id : ids_) {
    text += id;
    if (auto work = work_.find(id); work != work_.end())
      text += "\t" + work->second.name + "\t" + std::to_string(work->second.size);
    text += "\n";
  }
  return ReplaceFileAtomically(path_, text);
}

std::set<std::string> UidState::WorkNamesOfOthers(const std::string& mail_directory, const std::string& own) {
  std::set<std::string> names;
  const std::string system = ResolvePath(mail_directory + "System");
  for (const FolderEntry& entry : ReadFolder(system)) {
    const std::string path = system + "/" + entry.name;
    if (!entry.is_file || !entry.name.starts_with("uids-") || !entry.name.ends_with(".txt") || path == own) continue;
    UidState other;
    other.Load(path);
    for (const auto& [id, work] : other.work_) names.insert(work.name);
  }
  return names;
}

int UidState::Recover(const std::string& spool, const std::string& extension, bool& ok) {
  ok = true;
  if (work_.empty()) return 0;
  int moved = 0;
  std::uint64_t next = 0;
  for (const auto& [id, work] : work_) {
    const std::string path = spool + "/" + work.name;
    if (FileSize(path) != work.size) continue;  // moved before the crash (or not that file)
    if (!SpoolWriter::MoveToFreeName(path, spool, extension, next).empty()) {
      ++moved;
    } else {
      ids_.erase(id);  // not here after all: fetched again
      ok = false;
    }
  }
  if (moved > 0 && !SyncPath(spool)) ok = false;
  work_.clear();
  if (!Save()) ok = false;
  return moved;
}

void UidState::KeepOnly(const std::set<std::string>& listed) {
  std::erase_if(ids_, [&listed](const std::string& id) { return !listed.contains(id); });
  std::erase_if(work_, [&listed](const auto& entry) { return !listed.contains(entry.first); });
}

void UidState::Add(const std::string& id, const std::string& work_name, long long size) {
  ids_.insert(id);
  if (!work_name.empty()) work_[id] = {work_name, size};
}

}  // namespace corvelle
