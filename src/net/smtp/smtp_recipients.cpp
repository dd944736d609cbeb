#include "net/smtp/smtp_recipients.h"

#include "core/store/addresses.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

bool IsContinuation(const std::string& line) { return !line.empty() && (line[0] == ' ' || line[0] == '\t'); }

void AddPiece(std::string_view piece, std::vector<std::string>& out) {
  std::string address = ExtractAddress(piece);
  // ExtractAddress keeps blanks inside "< a@b >"; the address itself never holds any.
  size_t first = address.find_first_not_of(" \t");
  if (first == std::string::npos) return;
  size_t last = address.find_last_not_of(" \t");
  out.push_back(address.substr(first, last - first + 1));
}

}  // namespace

std::vector<std::string> SplitRecipients(std::string_view text) {
  std::vector<std::string> out;
  bool quoted = false;
  int angle = 0, comment = 0;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (quoted) {
      if (c == '\\') ++i;  // a quoted pair: the next character is plain text
      else if (c == '"') quoted = false;
    } else if (c == '"') {
      quoted = true;
    } else if (c == '<') {
      ++angle;
    } else if (c == '>' && angle > 0) {
      --angle;
    } else if (c == '(') {
      ++comment;
    } else if (c == ')' && comment > 0) {
      --comment;
    } else if (c == ',' && angle == 0 && comment == 0) {
      AddPiece(text.substr(start, i - start), out);
      start = i + 1;
    }
  }
  if (start < text.size()) AddPiece(text.substr(start), out);
  return out;
}

HeaderScan ScanHeader(const std::vector<std::string>& lines, const std::function<void()>& after_line) {
  HeaderScan scan;
  size_t i = 0;
  while (i < lines.size() && !lines[i].empty()) {
    const std::string& line = lines[i];
    if (StartsWithIgnoringCase(line, "to: ") || StartsWithIgnoringCase(line, "cc: ")) {
      for (std::string& address : SplitRecipients(std::string_view(line).substr(4)))
        scan.recipients.push_back(std::move(address));
      ++i;
      while (i < lines.size() && IsContinuation(lines[i])) {
        for (std::string& address : SplitRecipients(lines[i])) scan.recipients.push_back(std::move(address));
        ++i;
        if (after_line) after_line();
      }
    } else {
      if (StartsWithIgnoringCase(line, "subject: ")) scan.subjects.push_back(line);
      ++i;
    }
    if (after_line) after_line();
  }
  return scan;
}

}  // namespace corvelle
