#pragma once
// What became of one message handed to the SMTP sender, and why a server refused its text.

#include <string>

namespace corvelle {

enum class SendResult {
  kDelivered,       // the server answered the end of the complete text with "250"
  kGreetingRefused, // HELO not answered with "250"
  kSenderRefused,   // MAIL FROM not answered with "250"
  kNoRecipients,    // no recipient found, or a RCPT TO not answered with "250" or "251"
  kBodyRefused,     // DATA not answered with "354"
  kNotReceived,     // end of data not answered with "250", or the text was not sent whole
  kNoConnection,    // no connection to the server
  kLineTooLong,     // a line longer than 998 characters: nothing was sent
  kTextRefused,     // the complete text was refused; the message stays where it was
  kPostponed,       // refused for good, or larger than the server takes: now in "Postponed"
};

// Why the server would not take a message's text (kTextRefused from the sender): the
// sentence the user is told, and whether sending it again could ever succeed.
struct SendRefusal {
  std::string reason;     // "The mail server answered \"...\"." or the size it is over
  bool for_good = false;  // a 5xx reply, or larger than the server takes
};

}  // namespace corvelle
