#pragma once
// The program's options: the option table, the order in which an option list is taken
// apart, and the usage text. Taking a list apart runs nothing: it yields the steps that
// the main window then runs one after the other.

#include <optional>
#include <string>
#include <vector>

namespace corvelle {

// What an option does; each keyword has a long and a short form ("open" and "/o").
enum class ParmAction {
  NewMailTo, GetSendAll, Filter, ReplyTo, Open, ExportFolder, ImportFile, SendFile, Subject, AutoAdd, MailTo,
  GetFromAccount
};

// One option with its arguments, file arguments already without their quotes.
struct ParmStep {
  ParmAction action;
  std::vector<std::string> args;
};

struct ParsedParms {
  std::vector<ParmStep> steps;  // the valid options up to the first bad one
  bool bad = false;             // a keyword matched no option or lacked its arguments
  bool opens_window = false;    // some step opens a message window
  std::string bad_link;         // when `bad` came from a mailto: link: what is wrong with it
};

// The text shown for a bad option.
extern const char* const kParmUsage;

// The long options, beside the keyword options: "--help" prints GnuHelpText, "--version"
// the program's name and `version`. Nothing when `args` holds neither.
std::optional<std::string> GnuOptionText(const std::vector<std::string>& args, const std::string& version);

// The usage text for "--help": the keyword options, the long options and mailto: links.
std::string GnuHelpText();

// S without its first and last character when both are double quotes, else S.
std::string StripQuotes(const std::string& s);

// Takes an option list apart. Keywords are case-insensitive; arguments stay as they are,
// except that file arguments lose a pair of quotes. A mailto: link stands alone and opens
// a composition; a bad link makes the list bad. A "file:" URL of a local file (as a desktop
// passes a message file) opens that file.
ParsedParms ParseParms(const std::vector<std::string>& list);

// The same list with every file argument made absolute against `cwd` (a file argument
// loses its quotes first). Used for the program's own command line, before anything else.
std::vector<std::string> AbsoluteParmPaths(const std::vector<std::string>& list, const std::string& cwd);

// True when ending after the list is wanted: a non-empty list from the program's own
// command line that opened no window, with ExitAfterCmdProc set.
bool ExitAfterParms(const ParsedParms& parsed, bool from_command_line, bool exit_after_cmd_proc);

}  // namespace corvelle
