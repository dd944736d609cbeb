#include "core/compose/problem_report.h"

#include "core/settings/settings.h"
#include "core/store/mail_store.h"
#include "core/store/message_text.h"
#include "platform/paths.h"

namespace corvelle {

std::vector<std::string> ProblemReportLines(const Settings& s, bool& log_unreadable) {
  log_unreadable = false;
  std::vector<std::string> lines = {
      "==",
      "Debug information, do not edit below!",
      "==",
      "Mail Directory=" + s.MailDirectory,
      "Default Mail Directory=" + s.MailDirectory + s.DefaultMailFolder,
      "Receive Mail Server=" + s.MailServer + " " + s.MailPort,
      "Send Mail Server=" + s.SendServer + " " + s.SendPort,
      "UserName=" + s.UserName,
      "Mail Address=" + s.MailAddress,
      "Signature=" + s.Signature,
  };
  if (!PathExists(s.MailDirectory + s.DefaultMailFolder))
    lines.push_back("Default Mail Directory DOES NOT EXIST!  CREATE IT!");
  if (s.MailPort != "110") lines.push_back("NON-STANDARD POP SERVER PORT!  DEFAULT IS 110.");
  if (s.SendPort != "25") lines.push_back("NON-STANDARD SMTP SERVER PORT!  DEFAULT IS 25.");
  std::string log = MailStore(s.MailDirectory).NetLog();
  std::vector<std::string> log_lines;
  if (PathExists(log)) {
    if (ReadMessageLines(ResolvePath(log), log_lines)) {
      lines.insert(lines.end(), log_lines.begin(), log_lines.end());
    } else {
      log_unreadable = true;
    }
  }
  for (const char* line : {"==", "Debug information, do not edit the above!", "==", "",
                           "Describe the problem you have had:", "", "",
                           "Describe exactly what you do to reproduce the problem:", "", "",
                           "Describe exactly what the program does, and what you see on screen:", "", ""})
    lines.emplace_back(line);
  return lines;
}

}  // namespace corvelle
