#pragma once
// Sending as a transfer command runs it: one message (a spool file or a window's lines), or
// every ".out" file of the spool folder over one connection. The SMTP sender delivers each
// message (it never touches a folder); this run files it afterwards (OutgoingFiling). So a
// delivered spool file leaves the spool folder only as the complete sent copy, and that
// filing is flushed before the next message's text is ended with its ".": at most one
// message is ever between its delivery and the flush of its copy, and none goes out twice.

#include <string>
#include <vector>

#include "net/smtp/send_mail.h"
#include "net/transfer/outgoing_filing.h"
#include "net/transfer_context.h"

namespace corvelle {

class SendRun {
 public:
  // Takes the sender's address and the store from the context now, as the sender does the
  // rest of the settings.
  explicit SendRun(const TransferContext& context);
  SendRun(const SendRun&) = delete;
  SendRun& operator=(const SendRun&) = delete;

  // Status line 0 "Sending message:", then one message: the spool file `file_name` (a full
  // path) or, when it is empty, the lines `lines` (null: none). Shows the result's message,
  // files the message (OutgoingFiling) and closes the connection.
  SendResult SendOneMailMessage(const std::string& file_name, const std::vector<std::string>* lines);
  // Sends every ".out" file of the spool folder (any letter case, sorted by name ignoring
  // case) over one connection; returns the number delivered. A connection that cannot be
  // made, or a greeting that is refused, ends the run at that message: one box, and the
  // rest stays spooled. NotSent counts the run's messages that were not delivered.
  int SendOutGoingMail();
  int NotSent = 0;

  TSendMail SendMail1;  // the SMTP client; the Cancel buttons act on its flags
  // The sender at work now (SendMail1, or an identity's own while its messages go out): the
  // Cancel buttons act on it as well.
  TSendMail& Active() { return SendMail1; }

 private:
  // One message over the connection, which is closed afterwards with `disconnect`.
  SendResult SendMailMessage(const std::string& file_name, const std::vector<std::string>* lines, bool disconnect);
  // Files the message after the sender's `result`; the result it ends with.
  SendResult File(const OutgoingMail& mail, SendResult result);

  UserInterface& ui_;
  const MailStore store_;
  const std::string sender_;  // the sender's address as the settings hold it
  OutgoingFiling filing_;
};

}  // namespace corvelle
