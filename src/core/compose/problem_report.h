#pragma once
// The text of a problem report: the settings that matter for a connection, warnings about
// unusual ones, the network log, and the questions for the user.

#include <string>
#include <vector>

namespace corvelle {

struct Settings;

// Subjects of the two Help messages.
inline constexpr const char* kCommentSubject = "Corvelle Comment - v1.24b";
inline constexpr const char* kProblemSubject = "Corvelle Problem Report - v1.24b";

// The report's lines for `settings` (no password). The network log ("System/netlog.txt")
// is added when it exists; when it exists but cannot be read, `log_unreadable` is set and
// the report goes on without it.
std::vector<std::string> ProblemReportLines(const Settings& settings, bool& log_unreadable);

}  // namespace corvelle
