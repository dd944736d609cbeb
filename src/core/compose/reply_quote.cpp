#include "core/compose/reply_quote.h"

#include "core/compose/header_fields.h"
#include "core/mime/mime_reader.h"
#include "core/store/addresses.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

bool IsBlankLine(const std::string& line) { return line.find_first_not_of(" \t") == std::string::npos; }

std::string ReplySubject(const std::vector<std::string>& lines, size_t at) {
  std::string subject = FieldValue(lines, at, 9);
  while (StartsWithIgnoringCase(subject, "re:")) subject = std::string(Trimmed(std::string_view(subject).substr(3)));
  return "Re: " + subject;
}

}  // namespace

ReplyQuote QuoteReply(std::vector<std::string> lines) {
  while (!lines.empty() && IsBlankLine(lines.back())) lines.pop_back();
  ReplyQuote quote;
  const size_t header_lines = HeaderLineCount(lines);
  std::string attribution;
  for (size_t i = 0; i < header_lines; ++i) {
    const std::string& line = lines[i];
    if (StartsWithIgnoringCase(line, "subject: ")) {
      quote.subject = ReplySubject(lines, i);
    } else if (StartsWithIgnoringCase(line, "from: ")) {
      quote.from = AddressText(lines, i);
    } else if (StartsWithIgnoringCase(line, "to: ")) {
      quote.to = AddressText(lines, i);
    } else if (StartsWithIgnoringCase(line, "cc: ")) {
      quote.cc = AddressText(lines, i);
    } else if (StartsWithIgnoringCase(line, "date: ")) {
      attribution = "On " + FieldValue(lines, i, 6) + ", you wrote:";
    }
  }
  if (header_lines < lines.size()) {
    quote.text.reserve(lines.size() - header_lines + 2);
    quote.text.push_back(attribution);
    for (size_t i = header_lines + 1; i < lines.size(); ++i) quote.text.push_back("> " + lines[i]);
  }
  quote.text.insert(quote.text.end(), 2, std::string());
  return quote;
}

ReplyQuote QuoteReplyMessage(std::string_view bytes) {
  ReplyQuote quote = QuoteReply(DecodedMessageLines(bytes));
  const MimeContent content = ReadMimeContent(bytes);
  quote.in_reply_to = content.message_id;
  quote.references = content.references;
  if (!content.message_id.empty())
    quote.references += (quote.references.empty() ? "" : " ") + content.message_id;
  return quote;
}

}  // namespace corvelle
