#include "platform/file_types.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <tuple>
#include <vector>

#include "platform/paths.h"

extern char** environ;

namespace corvelle {
namespace {

// The icon of both types: the program's own, a themed mail icon on this host.
constexpr const char* kProgramIcon = "internet-mail";
constexpr const char* kMainGroup = "Desktop Entry";

using Lines = std::vector<std::string>;

struct Slot {
  enum Kind { kGlob, kComment, kIcon, kExec } kind;
  std::string type;   // the type's key, as given
  std::string group;  // desktop group of an Exec line
};

bool ValidTypeKey(const std::string& type) {
  if (type.empty() || type[0] == '.') return false;
  for (char c : type) {
    bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
              c == '-' || c == '_' || c == '+';
    if (!ok) return false;
  }
  return true;
}

bool ValidExtension(const std::string& ext) { return ext.size() > 1 && ValidTypeKey(ext.substr(1)); }

std::string TypeId(const std::string& type) {
  std::string id = AsciiLower(type);
  for (char& c : id)
    if (c == '.') c = '-';
  return id;
}

std::string MimeName(const std::string& type) { return "application/x-" + TypeId(type); }

std::string MimeFile(const std::string& type) { return DataHome() + "/mime/packages/" + TypeId(type) + ".xml"; }

std::string DesktopFile(const std::string& type) { return DataHome() + "/applications/" + TypeId(type) + ".desktop"; }

std::vector<std::string> SplitKey(const std::string& key) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t slash = key.find('/', start);
    parts.push_back(key.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
    if (slash == std::string::npos) return parts;
    start = slash + 1;
  }
}

// The desktop group that runs a verb: the entry itself opens, actions do the rest.
std::optional<std::string> VerbGroup(const std::string& verb) {
  std::string plain;
  for (char c : verb)
    if (c != '&') plain += c;
  plain = AsciiLower(plain);
  if (plain == "open") return std::string(kMainGroup);
  if (plain == "reply") return std::string("Desktop Action replyto");
  if (plain == "autoadd") return std::string("Desktop Action autoadd");
  return std::nullopt;
}

// The slot of a key other than an extension.
std::optional<Slot> TypeSlot(const std::string& key) {
  std::vector<std::string> parts = SplitKey(key);
  if (!ValidTypeKey(parts[0])) return std::nullopt;
  if (parts.size() == 1) return Slot{Slot::kComment, parts[0], {}};
  if (parts.size() == 2 && SameNameIgnoringCase(parts[1], "DefaultIcon")) return Slot{Slot::kIcon, parts[0], {}};
  if (parts.size() == 4 && SameNameIgnoringCase(parts[1], "shell") && SameNameIgnoringCase(parts[3], "command")) {
    if (std::optional<std::string> group = VerbGroup(parts[2])) return Slot{Slot::kExec, parts[0], *group};
  }
  return std::nullopt;
}

std::string XmlEscape(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// A value of type string in a desktop entry: backslash and control characters escaped.
std::string DesktopEscape(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

std::string GlobLine(const std::string& ext) { return "    <glob pattern=\"*" + XmlEscape(ext) + "\"/>"; }

Lines MimeSkeleton(const std::string& type) {
  return {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
          "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">",
          "  <mime-type type=\"" + MimeName(type) + "\">",
          "    <sub-class-of type=\"text/plain\"/>",
          "  </mime-type>",
          "</mime-info>"};
}

Lines DesktopSkeleton(const std::string& type) {
  return {"[Desktop Entry]",
          "Type=Application",
          "Name=Corvelle",
          std::string("Icon=") + kProgramIcon,
          "NoDisplay=true",
          "MimeType=" + MimeName(type) + ";",
          "Actions=replyto;autoadd;",
          "",
          "[Desktop Action replyto]",
          "Name=Reply",
          "",
          "[Desktop Action autoadd]",
          "Name=Autoadd"};
}

Lines SplitLines(const std::string& text) {
  Lines lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

bool ReadLines(const std::string& path, Lines& lines) {
  std::string text;
  if (!ReadWholeFile(path, text)) return false;
  lines = SplitLines(text);
  return true;
}

bool WriteLines(const std::string& path, const Lines& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return ReplaceFileAtomically(path, text, 0644);
}

bool StartsWith(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

size_t FindLine(const Lines& lines, const std::string& line) {
  for (size_t i = 0; i < lines.size(); ++i)
    if (lines[i] == line) return i;
  return std::string::npos;
}

// The line range [first, end) of a desktop group's keys; first == npos when absent.
std::pair<size_t, size_t> GroupRange(const Lines& lines, const std::string& group) {
  size_t header = FindLine(lines, "[" + group + "]");
  if (header == std::string::npos) return {std::string::npos, std::string::npos};
  size_t end = header + 1;
  while (end < lines.size() && !StartsWith(lines[end], "[")) ++end;
  return {header + 1, end};
}

// Index of the line of a slot with `prefix`, or npos. Within the mime-type element for
// package files, within the slot's group for desktop entries.
size_t FindSlotLine(const Lines& lines, const Slot& slot, const std::string& prefix) {
  size_t first = 0, end = lines.size();
  if (slot.kind == Slot::kExec) std::tie(first, end) = GroupRange(lines, slot.group);
  if (first == std::string::npos) return std::string::npos;
  for (size_t i = first; i < end; ++i)
    if (StartsWith(lines[i], prefix)) return i;
  return std::string::npos;
}

// Sets one line of a package file (the text up to `prefix` identifies it).
bool SetMimeLine(const std::string& type, const std::string& prefix, const std::string& line) {
  std::string path = MimeFile(type);
  Lines lines;
  size_t close = std::string::npos;
  if (ReadLines(path, lines)) close = FindLine(lines, "  </mime-type>");
  if (close == std::string::npos) {  // absent, or not one of ours
    lines = MimeSkeleton(type);
    close = FindLine(lines, "  </mime-type>");
  }
  Slot slot{Slot::kComment, type, {}};
  size_t at = FindSlotLine(lines, slot, prefix);
  if (at != std::string::npos && at < close)
    lines[at] = line;
  else
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(close), line);
  return WriteLines(path, lines);
}

bool SetDesktopLine(const Slot& slot, const std::string& key, const std::string& value) {
  std::string path = DesktopFile(slot.type);
  Lines lines;
  if (!ReadLines(path, lines) || GroupRange(lines, slot.group).first == std::string::npos)
    lines = DesktopSkeleton(slot.type);
  std::string line = key + "=" + DesktopEscape(value);
  size_t at = FindSlotLine(lines, slot, key + "=");
  if (at != std::string::npos) {
    lines[at] = line;
  } else {
    auto [first, end] = GroupRange(lines, slot.group);
    while (end > first && lines[end - 1].empty()) --end;  // after the group's last key
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(end), line);
  }
  return WriteLines(path, lines);
}

bool SetSlot(const Slot& slot, const std::string& data) {
  switch (slot.kind) {
    case Slot::kComment: return SetMimeLine(slot.type, "    <comment>", "    <comment>" + XmlEscape(data) + "</comment>");
    case Slot::kIcon: return SetMimeLine(slot.type, "    <icon ", "    <icon name=\"" + XmlEscape(data) + "\"/>");
    case Slot::kExec: return SetDesktopLine(slot, "Exec", data);
    case Slot::kGlob: break;
  }
  return false;
}

bool SlotExists(const Slot& slot) {
  std::string path = slot.kind == Slot::kExec ? DesktopFile(slot.type) : MimeFile(slot.type);
  Lines lines;
  if (!ReadLines(path, lines)) return false;
  switch (slot.kind) {
    case Slot::kComment: return FindSlotLine(lines, slot, "    <comment>") != std::string::npos;
    case Slot::kIcon: return FindSlotLine(lines, slot, "    <icon ") != std::string::npos;
    case Slot::kExec: return FindSlotLine(lines, slot, "Exec=") != std::string::npos;
    case Slot::kGlob: break;
  }
  return false;
}

// Any of our package files naming the extension in a glob line.
bool ExtensionRegistered(const std::string& ext) {
  std::string folder = DataHome() + "/mime/packages";
  for (const FolderEntry& entry : ReadFolder(folder)) {
    if (entry.is_folder) continue;
    Lines lines;
    if (ReadLines(folder + "/" + entry.name, lines) && FindLine(lines, GlobLine(ext)) != std::string::npos)
      return true;
  }
  return false;
}

// Runs a program found on PATH with `args`, output discarded, and waits for it. Never
// through a shell: the arguments are passed as they are.
void RunIfInstalled(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return;
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) return;  // not installed: the caches are a convenience
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
}

// Desktop-entry quoting of one argument: always quoted; ", `, $ and \ escaped with a
// backslash; a literal % doubled.
std::string QuoteExecArgument(const std::string& arg) {
  std::string out = "\"";
  for (char c : arg) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
    if (c == '%') out += '%';
    out += c;
  }
  return out + "\"";
}

struct FileType {
  const char* extension;
  const char* type;
  const char* description;
};

constexpr FileType kFileTypes[] = {
    {".mail", "Corvelle.mail", "Mail file"},
    {".newmail", "Corvelle.new", "New mail file"},
};

}  // namespace

std::string DataHome() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data && data[0] == '/') {
    std::string dir = data;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    return dir;
  }
  const char* home = std::getenv("HOME");
  if (!home || home[0] != '/') return {};
  std::string dir = home;
  while (!dir.empty() && dir.back() == '/') dir.pop_back();
  return dir + "/.local/share";
}

bool RegKeyExists(const std::string& key, const std::string& value) {
  if (!value.empty() || DataHome().empty()) return false;
  if (!key.empty() && key[0] == '.') return ValidExtension(key) && ExtensionRegistered(key);
  std::optional<Slot> slot = TypeSlot(key);
  if (!slot) return false;
  if (slot->kind == Slot::kComment && SplitKey(key).size() == 1)
    return FileExists(MimeFile(slot->type)) && FileExists(DesktopFile(slot->type));
  return SlotExists(*slot);
}

bool RegSetString(const std::string& key, const std::string& value, const std::string& data) {
  if (!value.empty() || DataHome().empty()) return false;
  if (!key.empty() && key[0] == '.') {
    if (!ValidExtension(key) || !ValidTypeKey(data)) return false;
    return SetMimeLine(data, GlobLine(key), GlobLine(key));
  }
  std::optional<Slot> slot = TypeSlot(key);
  return slot && SetSlot(*slot, data);
}

std::string ProgramPath() {
  std::string buffer(4096, '\0');
  ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (n <= 0 || static_cast<size_t>(n) >= buffer.size()) return {};
  buffer.resize(static_cast<size_t>(n));
  return buffer;
}

std::string ExecLine(const std::string& program, const std::string& option) {
  return QuoteExecArgument(program) + " " + option + " %f";
}

int AssociateFiles(bool force, const std::string& program) {
  int writes = 0;
  for (const FileType& t : kFileTypes) {
    std::string type = t.type;
    if (!force && RegKeyExists(type, "")) continue;
    // Failures are ignored: the program runs without the desktop knowing its files.
    RegSetString(t.extension, "", type);
    RegSetString(type, "", t.description);
    RegSetString(type + "/DefaultIcon", "", kProgramIcon);
    RegSetString(type + "/shell/Open/command", "", ExecLine(program, "open"));
    RegSetString(type + "/shell/R&eply/command", "", ExecLine(program, "replyto"));
    RegSetString(type + "/shell/Autoadd/command", "", ExecLine(program, "autoadd"));
    writes += 6;
  }
  std::string data = DataHome();
  if (writes > 0 && !data.empty()) {
    RunIfInstalled({"update-mime-database", data + "/mime"});
    RunIfInstalled({"update-desktop-database", data + "/applications"});
  }
  return writes;
}

int AssociateFiles(bool force) { return AssociateFiles(force, ProgramPath()); }

}  // namespace corvelle
