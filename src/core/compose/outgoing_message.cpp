#include "core/compose/outgoing_message.h"

#include <algorithm>
#include <ctime>

#include "core/settings/settings.h"

namespace corvelle {
namespace {

std::string HeaderText(std::string text) {
  std::replace_if(
      text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  return text;
}

// "Name: " + the first entry, then each further entry on a line of its own, indented.
void AddAddressLines(std::vector<std::string>& lines, const char* name, const std::vector<std::string>& entries) {
  const std::string indent(10, ' ');
  for (size_t i = 0; i < entries.size(); ++i)
    lines.push_back((i == 0 ? name : indent) + EncodeAddressEntry(HeaderText(entries[i])));
}

}  // namespace

OutgoingCheck CheckOutgoing(const std::vector<std::string>& to, const std::string& subject) {
  if (to.empty()) return OutgoingCheck::kNoRecipient;
  return subject.empty() ? OutgoingCheck::kNoSubject : OutgoingCheck::kReady;
}

std::string FromEntry(const std::string& my_name, const std::string& mail_address) {
  return my_name + " <" + mail_address + ">";
}

void AddStandardFields(std::vector<std::string>& lines, const std::string& mail_address, const std::string& date,
                       const std::string& message_id) {
  lines.push_back("Date: " + (date.empty() ? MailDate(std::time(nullptr)) : date));
  lines.push_back("Message-ID: " + (message_id.empty() ? NewMessageId(mail_address) : message_id));
  lines.push_back(std::string("X-Mailreader: Corvelle, v") + kVersion);
}

std::vector<std::string> BuildOutgoingLines(const OutgoingFields& fields, const std::vector<std::string>& body) {
  std::vector<std::string> lines;
  if (fields.to.empty()) return lines;
  lines.reserve(fields.to.size() + fields.cc.size() + body.size() + 5);
  AddAddressLines(lines, "To: ", fields.to);
  lines.push_back("From: " + EncodeAddressEntry(HeaderText(FromEntry(fields.my_name, fields.mail_address))));
  if (!fields.subject.empty()) lines.push_back("Subject: " + EncodeHeaderText(HeaderText(fields.subject)));
  AddAddressLines(lines, "Cc: ", fields.cc);
  if (!fields.in_reply_to.empty()) lines.push_back("In-Reply-To: " + HeaderText(fields.in_reply_to));
  if (!fields.references.empty()) lines.push_back("References: " + HeaderText(fields.references));
  AddStandardFields(lines, fields.mail_address, fields.date, fields.message_id);
  MimeBody mime = BuildMimeBody(body, fields.attachments);
  lines.insert(lines.end(), mime.header.begin(), mime.header.end());
  lines.emplace_back();
  lines.insert(lines.end(), mime.body.begin(), mime.body.end());
  return lines;
}

}  // namespace corvelle
