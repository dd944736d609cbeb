#pragma once
// The lines of an outgoing message as a composition window hands them over: the only place
// where outgoing header lines are made (sending, spooling, postponing, Save As).

#include <string>
#include <vector>

#include "core/mime/mime_writer.h"

namespace corvelle {

inline constexpr const char* kNoRecipientMessage = "You must enter an address to deliver to.";
inline constexpr const char* kNoSubjectQuestion = "Warning: no subject line.  Continue?";
inline constexpr const char* kNoSubjectTitle = "Mail warning";

// What a composition window must settle with the user before its lines can be made:
// kNoRecipient (show kNoRecipientMessage, give no lines), kNoSubject (ask kNoSubjectQuestion,
// Yes/No; on No give no lines, on Yes go on without a subject line), or kReady.
enum class OutgoingCheck { kReady, kNoRecipient, kNoSubject };
OutgoingCheck CheckOutgoing(const std::vector<std::string>& to, const std::string& subject);

struct OutgoingFields {
  std::vector<std::string> to;  // recipient entries, each but the last ending in ","
  std::vector<std::string> cc;  // copy entries, likewise; may be empty
  std::string subject;          // as typed; no subject line when empty
  std::string my_name, mail_address;
  std::string in_reply_to, references;  // a reply's: the answered Message-ID and its chain
  std::vector<OutgoingAttachment> attachments;
  std::string date, message_id;  // "" (the default): now, and a new id
};

// The From entry of a sender: `my_name` + " <" + `mail_address` + ">", as the From line and
// the choice of identity show it.
std::string FromEntry(const std::string& my_name, const std::string& mail_address);

// "Date: " (now, unless `date` is given), "Message-ID: " (a new one with the domain of
// `mail_address`, unless `message_id` is given) and "X-Mailreader: Corvelle, v" kVersion:
// the fields every outgoing message carries.
void AddStandardFields(std::vector<std::string>& lines, const std::string& mail_address, const std::string& date = "",
                       const std::string& message_id = "");

// The outgoing message:
//   "To: " first entry, then ten spaces + each further entry;
//   "From: " FromEntry(my_name, mail_address);
//   "Subject: " subject                      (only when the subject is not empty);
//   "Cc: " first entry, then ten spaces + each further entry (only when there are any);
//   "In-Reply-To: ", "References: " (only for a reply);
//   the standard fields of AddStandardFields;
//   the MIME header and body of BuildMimeBody for the body lines and the attachments.
// CR and LF in the header texts become spaces, so typed text cannot start a header line of
// its own; non-ASCII subjects and names go out as encoded words. Empty when `to` is empty.
std::vector<std::string> BuildOutgoingLines(const OutgoingFields& fields, const std::vector<std::string>& body);

}  // namespace corvelle
