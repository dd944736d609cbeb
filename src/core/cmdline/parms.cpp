#include "core/cmdline/parms.h"

#include <cctype>

#include "core/cmdline/mailto.h"
#include "platform/paths.h"

namespace corvelle {

const char* const kParmUsage =
    "ERROR: Valid parameters:\n\r/n <addr> - new mail, /g - get/send all\n\r/r <file> - reply, /o <file> - open\n\r"
    "/e <folder> - export to pine, /i <file> <folder> - import pine\n\r/s <file> <user> - send file, "
    "/j <subject> - set outgoing subject\n\r/f - run mail filter";

namespace {

struct ParmRow {
  const char* name;
  const char* short_name;
  ParmAction action;
  int args;
  bool first_is_file;  // the first argument names a file or folder
  bool opens;          // counts as opening a window
};

// In the order keywords are tried.
constexpr ParmRow kRows[] = {
    {"newmailto", "/n", ParmAction::NewMailTo, 1, false, true},
    {"getsendall", "/g", ParmAction::GetSendAll, 0, false, false},
    {"getaccount", "/ga", ParmAction::GetFromAccount, 1, false, false},
    {"filter", "/f", ParmAction::Filter, 0, false, false},
    {"replyto", "/r", ParmAction::ReplyTo, 1, true, true},
    {"open", "/o", ParmAction::Open, 1, true, true},
    {"exportfoldertopine", "/e", ParmAction::ExportFolder, 1, true, false},
    {"importpinefile", "/i", ParmAction::ImportFile, 1, true, false},
    {"sendfile", "/s", ParmAction::SendFile, 2, true, false},
    {"subject", "/j", ParmAction::Subject, 1, false, false},
    {"autoadd", "/a", ParmAction::AutoAdd, 1, true, true},
};

// The row that the keyword at `i` names, when enough arguments follow it.
const ParmRow* MatchRow(const std::vector<std::string>& list, size_t i) {
  std::string keyword = AsciiLower(list[i]);
  for (const ParmRow& row : kRows) {
    if (keyword != row.name && keyword != row.short_name) continue;
    if (list.size() - i - 1 >= static_cast<size_t>(row.args)) return &row;
  }
  return nullptr;
}

std::string Absolute(const std::string& path, const std::string& cwd) {
  if (path.empty() || path.front() == '/' || cwd.empty()) return path;
  return cwd.back() == '/' ? cwd + path : cwd + "/" + path;
}

}  // namespace

std::string GnuHelpText() {
  std::string usage = kParmUsage;
  usage.erase(0, usage.find("\n\r") + 2);  // "ERROR: Valid parameters:"
  for (size_t at; (at = usage.find("\n\r")) != std::string::npos;) usage.replace(at, 2, "\n");
  return "Usage: corvelle [OPTION]... [mailto:LINK]\n"
         "Starts Corvelle, or hands the options to the Corvelle already running.\n\n"
         "Options (the long keyword names work too, e.g. \"getsendall\" for \"/g\"):\n" +
         usage +
         "\n/ga <account> - get mail from one account"
         "\n/a <file> - add the file's addresses to the address book\n"
         "mailto:<link> - new mail from a mailto: link (To, Cc, Subject and text)\n\n"
         "  --new-instance  start a separate Corvelle, even when one is running\n"
         "  --help          show this text and end\n"
         "  --version       show the version and end\n";
}

std::optional<std::string> GnuOptionText(const std::vector<std::string>& args, const std::string& version) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--help") return GnuHelpText();
    if (args[i] == "--version") return "Corvelle " + version + "\n";
    // An option's arguments are its own ("/j --help" is a subject).
    if (const ParmRow* row = MatchRow(args, i)) i += row->args;
  }
  return std::nullopt;
}

std::string StripQuotes(const std::string& s) {
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') return s.substr(1, s.size() - 2);
  return s;
}

ParsedParms ParseParms(const std::vector<std::string>& list) {
  ParsedParms parsed;
  for (size_t i = 0; i < list.size();) {
    if (IsMailtoLink(list[i])) {
      if (!ParseMailto(list[i], parsed.bad_link)) {
        parsed.bad_link = "This mailto: link cannot be used: " + parsed.bad_link + ".\n" + list[i];
        parsed.bad = true;
        break;
      }
      parsed.steps.push_back({ParmAction::MailTo, {list[i]}});
      parsed.opens_window = true;
      ++i;
      continue;
    }
    if (std::optional<std::string> path = LocalPathOfFileUrl(list[i])) {
      parsed.steps.push_back({ParmAction::Open, {*path}});
      parsed.opens_window = true;
      ++i;
      continue;
    }
    const ParmRow* row = MatchRow(list, i);
    // A desktop may hand a message file over as its plain absolute path (the %u of the
    // program's menu entry), which no option matches: it is opened.
    if (!row && list[i].starts_with('/') && FileExists(list[i])) {
      parsed.steps.push_back({ParmAction::Open, {list[i]}});
      parsed.opens_window = true;
      ++i;
      continue;
    }
    if (!row) {
      parsed.bad = true;
      break;
    }
    ParmStep step{row->action, {list.begin() + i + 1, list.begin() + i + 1 + row->args}};
    if (row->first_is_file) step.args[0] = StripQuotes(step.args[0]);
    parsed.steps.push_back(std::move(step));
    parsed.opens_window = parsed.opens_window || row->opens;
    i += 1 + row->args;
  }
  return parsed;
}

std::vector<std::string> AbsoluteParmPaths(const std::vector<std::string>& list, const std::string& cwd) {
  std::vector<std::string> result = list;
  for (size_t i = 0; i < list.size();) {
    if (IsMailtoLink(list[i]) || LocalPathOfFileUrl(list[i])) {
      ++i;
      continue;
    }
    const ParmRow* row = MatchRow(list, i);
    if (!row && list[i].starts_with('/') && FileExists(list[i])) {  // a message file's own path
      ++i;
      continue;
    }
    if (!row) break;  // the rest is left for the usage message
    if (row->first_is_file) result[i + 1] = Absolute(StripQuotes(list[i + 1]), cwd);
    i += 1 + row->args;
  }
  return result;
}

bool ExitAfterParms(const ParsedParms& parsed, bool from_command_line, bool exit_after_cmd_proc) {
  return !parsed.steps.empty() && !parsed.bad && exit_after_cmd_proc && !parsed.opens_window &&
         from_command_line;
}

}  // namespace corvelle
