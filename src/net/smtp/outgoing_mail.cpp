#include "net/smtp/outgoing_mail.h"

#include "core/mime/mime_text.h"
#include "core/store/addresses.h"
#include "core/store/header_lines.h"
#include "net/smtp/smtp_recipients.h"
#include "net/smtp/smtp_text.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

// The subject of a message for the user, decoded; "(none)" without one.
std::string SubjectOf(const std::vector<std::string>& header) {
  for (const std::string& line : header)
    if (StartsWithIgnoringCase(line, "subject:")) {
      std::string subject = DecodeHeaderText(Trimmed(std::string_view(line).substr(8)));
      if (!subject.empty()) return subject;
    }
  return "(none)";
}

// The text of window lines, each ended by CR LF.
std::string JoinedLines(const std::vector<std::string>* lines) {
  std::string data;
  if (lines) {
    for (const std::string& line : *lines) {
      data += line;
      data += "\r\n";
    }
  }
  return data;
}

// The header lines as the server will see them (a bare CR ends a line there), all of them
// however long: a recipient may stand on any of them.
std::vector<std::string> WireHeader(TBigFile& text) {
  std::vector<std::string> header;
  std::string line;
  bool ended = false;
  while (!ended && text.GetNextString(line)) {
    ForEachWireLine(line, [&](std::string_view piece) {
      if (piece.empty()) ended = true;
      if (!ended) header.emplace_back(piece);
    });
  }
  return header;
}

// The value of the first "From:" field of `header`, unfolded; "" without one.
std::string AuthorOf(const std::vector<std::string>& header) {
  for (size_t at = 0; at < header.size(); ++at)
    if (StartsWithIgnoringCase(header[at], "from:")) return UnfoldedField(header, at, 5);
  return "";
}

}  // namespace

OutgoingMail ReadOutgoingMail(const std::string& file_name, const std::vector<std::string>* lines,
                              const std::string& sender, const std::function<void()>& after_line) {
  OutgoingMail mail;
  mail.from = std::string(Trimmed(ExtractAddress(sender)));
  mail.lines = lines;
  bool loaded = true;
  if (file_name.empty()) {
    mail.text.LoadFromString(JoinedLines(lines));
  } else {
    mail.source = ResolvePath(file_name);
    loaded = mail.text.LoadFromFile(mail.source);
  }
  if (loaded) mail.header = WireHeader(mail.text);
  HeaderScan scan = ScanHeader(mail.header, after_line);
  mail.recipients = std::move(scan.recipients);
  mail.subject_lines = std::move(scan.subjects);
  mail.subject = SubjectOf(mail.header);
  mail.author = AuthorOf(mail.header);
  return mail;
}

}  // namespace corvelle
