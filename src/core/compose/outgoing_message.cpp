#include "core/compose/outgoing_message.h"

#include <algorithm>

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
  for (size_t i = 0; i < entries.size(); ++i) lines.push_back((i == 0 ? name : indent) + HeaderText(entries[i]));
}

}  // namespace

OutgoingCheck CheckOutgoing(const std::vector<std::string>& to, const std::string& subject) {
  if (to.empty()) return OutgoingCheck::kNoRecipient;
  return subject.empty() ? OutgoingCheck::kNoSubject : OutgoingCheck::kReady;
}

std::vector<std::string> BuildOutgoingLines(const OutgoingFields& fields, const std::vector<std::string>& body) {
  std::vector<std::string> lines;
  if (fields.to.empty()) return lines;
  lines.reserve(fields.to.size() + fields.cc.size() + body.size() + 5);
  AddAddressLines(lines, "To: ", fields.to);
  lines.push_back(HeaderText("From: " + fields.my_name + " <" + fields.mail_address + ">"));
  if (!fields.subject.empty()) lines.push_back("Subject: " + HeaderText(fields.subject));
  AddAddressLines(lines, "Cc: ", fields.cc);
  lines.push_back(std::string("X-Mailreader: Corvelle, v") + kVersion);
  lines.emplace_back();
  lines.insert(lines.end(), body.begin(), body.end());
  return lines;
}

}  // namespace corvelle
