#include "net/smtp/smtp_reply.h"

namespace corvelle {
namespace {

bool HasCode(std::string_view line) {
  if (line.size() < 3) return false;
  for (size_t i = 0; i < 3; ++i)
    if (line[i] < '0' || line[i] > '9') return false;
  return true;
}

}  // namespace

SmtpReply ParseSmtpReply(std::string_view reply) {
  SmtpReply parsed;
  std::vector<std::string_view> lines;
  for (size_t start = 0;;) {
    size_t end = reply.find("\r\n", start);
    lines.push_back(reply.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
    if (end == std::string_view::npos) break;
    start = end + 2;
  }
  if (HasCode(lines[0])) parsed.code = (lines[0][0] - '0') * 100 + (lines[0][1] - '0') * 10 + (lines[0][2] - '0');
  bool well_formed = parsed.code >= 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string_view line = lines[i];
    bool last = i + 1 == lines.size();
    char separator = line.size() > 3 ? line[3] : ' ';
    if (!HasCode(line) || line.substr(0, 3) != lines[0].substr(0, 3) || separator != (last ? ' ' : '-'))
      well_formed = false;
    if (!HasCode(line))
      parsed.text.emplace_back(line);  // not a reply line: all of it is text
    else
      parsed.text.emplace_back(line.size() > 4 ? line.substr(4) : std::string_view());
  }
  parsed.well_formed = well_formed;
  return parsed;
}

bool ReplyAccepted(std::string_view reply, std::string_view code) {
  return code.size() == 3 && reply.substr(0, 3) == code;
}

}  // namespace corvelle
