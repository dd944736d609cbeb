#pragma once
// TSendMail: the SMTP client. It delivers one outgoing message at a time (OutgoingMail) to
// the server of the settings, keeping the connection between messages, and says what became
// of it (SendResult). Filing the message afterwards is the caller's part (the transfer run):
// this client never touches a folder. The recipients are the message's own "To: " and "Cc: "
// lines, and the whole message, header included, goes out as the mail data.
//
// The text is sent exactly: every line that starts with "." gets one more "." (the server
// takes it off again), lines end in CR LF on the wire (a bare CR or LF in the file ends a
// line too), and a message with a line longer than the server must accept is not sent at all.
// The envelope is "ehlo [address]" ("helo [address]" when the server refuses that),
// "mail from:<address>" and "rcpt to:<address>". A connection is greeted once (a server may
// refuse a second greeting, RFC 5321 4.1.4); a message whose transaction was left open
// (refused on the way) is followed by "RSET" before the next one. When the server announces
// SIZE, "mail from" declares the message's size (RFC 1870), and a message larger than the
// announced limit is not sent at all.
//
// A message whose complete text the server refuses, or that is over the announced limit,
// gives kTextRefused, and Refusal() says why and whether for good (5xx or too large).
//
// Security (smtp_session.cpp): with SSL/TLS the connection is TLS from the start; with
// STARTTLS the server must offer it, and the session greets again over TLS. When the server
// offers AUTH PLAIN or LOGIN and a user name is set, the sender logs in; the password never
// goes out before TLS unless the choice is "None" and the user allowed it once. An OAuth2
// access token goes only over TLS, with AUTH OAUTHBEARER or XOAUTH2 (RFC 7628). The password
// or token is asked of the context's credentials before each connection is made.
//
// A message is delivered only when the server answered the end of its complete text with
// "250". A text that could not be sent whole (cancelled, socket error) is never ended with
// ".": the connection is dropped instead, so the server throws away what it got. Any reply that
// does not arrive (server closed, stalled, cancelled) also drops the connection, so a later
// message starts afresh rather than reading replies meant for another command.

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings/security_settings.h"
#include "net/mail_transfer.h"
#include "net/smtp/outgoing_mail.h"
#include "net/smtp/send_result.h"
#include "net/transfer_context.h"

namespace corvelle {

class TSendMail : public TMailTransfer {
 public:
  // Takes the server, Port (SendPort), the security and the user from the context's
  // settings now; boxes go to its interface. Errors go to MailError.
  explicit TSendMail(const TransferContext& context);
  std::string Port;  // a number or a service name; "" for the usual one

  bool Connected = false;   // true from a "220" greeting until the connection ends

  // Runs right before the final "." of each text, when the whole text went out (the run
  // finishes the sent-copy flush of the message before, so at most one message is ever
  // between its delivery and that flush).
  std::function<void()> OnEndOfText;

  // The message the caller delivers next over this connection (null: none), kept until it
  // changes. To a server that offers PIPELINING, its MAIL, RCPT and DATA go right behind the
  // current text's "." (RFC 2920), so its replies come with the reply to that text; its own
  // text waits for its "354" as always. One that would be refused before its envelope
  // (no recipients, a line too long, over the size limit, or 8-bit text to be made 7-bit)
  // is left for its own turn.
  void SendAhead(OutgoingMail* next) { next_ = next; }

  // The error event: shows "Transfer error: " + msg and sets ErrorFlag.
  void MailError(const std::string& msg);

  // Asks for the credential when a user is set, connects to the server (port Port, "25"
  // when empty) and reads the greeting, unless connected already. False with the reason
  // there is no credential, "Could not connect to host." (no connection) or "Could not
  // connect to SMTP server." (no "220" greeting) shown.
  bool ConnectToMailServer();
  // Sends "QUIT" (its reply is not read) when the connection stands, and closes it; after a
  // next message's envelope went ahead, closes without it (the server may take it as text).
  void DisconnectFromMailServer();

  // The three steps of one message. BeginMessage: the current progress starts at 0, a
  // transaction the last message left open ends ("RSET"; a server that will not end it is
  // left for a new connection), and the connection is made unless it stands; false when
  // there is none. Deliver: shows the recipients ("To:" + them joined by ", ") as status
  // line 1 and each "subject: " line as status line 2, then sends `mail`. EndMessage: the
  // current progress reaches 100, and the box of `result` is shown (none when a reply did not
  // arrive: the transfer error said why).
  bool BeginMessage();
  SendResult Deliver(OutgoingMail& mail);
  void EndMessage(SendResult result);
  // Why the last kTextRefused was refused.
  const SendRefusal& Refusal() const { return refusal_; }

  // The status lines, notes and total progress of the run that drives this sender.
  using TMailTransfer::ClearStatus;
  using TMailTransfer::ForgetNotes;
  using TMailTransfer::SetStatus;
  using TMailTransfer::TotalProgress;

  // True when the server's last EHLO reply offered `keyword` ("8BITMIME", "STARTTLS"),
  // ignoring case. False after HELO, and before any greeting of this connection.
  bool Offers(const std::string& keyword) const;

  // The description of a result code; kDelivered leaves `text` as it was.
  static void DecodeMailError(SendResult code, std::string& text);

 private:
  enum class Reply { kAccepted, kRefused, kLost };

  // Sends `command` (none when empty) and reads the reply. Accepted when it starts with one
  // of `codes`; a refusal is noted with the server's reply (with `note`). A reply that does not arrive
  // drops the connection.
  Reply Command(const std::string& command, std::initializer_list<std::string_view> codes, bool note = true);
  // The two halves of Command: queue a command (false when the connection is gone), and
  // send what is queued and read one reply.
  bool Queue(const std::string& command);
  Reply Answer(std::initializer_list<std::string_view> codes, bool note = true);
  // MAIL, RCPT for every recipient, and DATA: kDelivered when the server waits for the
  // text, else the result of the first refusal. One pipelined group when the server offers
  // it; else each command waits for its reply, and a refusal ends the envelope.
  // With `queued`, the group went ahead already (QueueAhead) and only its replies are read.
  SendResult Envelope(const std::string& from, const std::string& body, const std::vector<std::string>& recipients,
                      bool queued);
  // The "mail from" parameters of a text (BODY=8BITMIME, SIZE=); false when it is larger
  // than the server's announced limit.
  bool MailParameters(const std::string& data, bool eight_bit, std::string& body) const;
  void QueueEnvelope(const std::string& from, const std::string& body, const std::vector<std::string>& recipients);
  // Queues the envelope of the message set by SendAhead behind the current text's end, when
  // the server offers PIPELINING and nothing would stop the message before its envelope.
  void QueueAhead();
  SendResult Transaction(OutgoingMail& mail);
  // The text after the server's "354", and the reply to its end.
  SendResult DeliverText(TBigFile& text);
  // The secure and authenticated start of a connection, after its first greeting. False
  // (after its message) when the session cannot go on safely.
  bool OpenSession();
  // "ehlo", or "helo" when the server refuses it; the EHLO keywords are kept.
  bool Greet();
  bool LogIn();
  bool SendAuth(const std::string& user, const std::string& password);
  // AUTH with an OAuth2 access token: only over TLS, OAUTHBEARER preferred to XOAUTH2.
  bool TokenLogIn(const std::string& token);
  // The mechanisms the server's AUTH keyword names.
  std::vector<std::string> AuthMechanisms() const;
  bool SendText(TBigFile& text);
  // Ends the transaction the last message left open ("RSET"); false when the server would not.
  bool EndOpenTransaction();
  // The SIZE limit the server announced; 0 when none (or none given).
  unsigned long long SizeLimit() const;
  // Notes why the text was refused; kTextRefused.
  SendResult Refused(std::string reason, bool for_good);
  void ShowHeader(const OutgoingMail& mail);
  void ShowResult(SendResult result);
  void DropConnection();

  const std::string server_;
  const Security security_;
  const std::string user_;  // the login for sending
  LoginTarget target_;
  Credential login_;  // from the connect to the login of the connection, then emptied
  bool reply_lost_ = false;  // a reply of the current message did not arrive
  bool opened_ = false;      // the connection is secured and logged in as far as it will be
  bool greeted_ = false;           // this connection's greeting was answered
  bool transaction_open_ = false;  // a "mail from" went out whose transaction has not ended
  std::vector<std::string> keywords_;  // the lines of the last EHLO reply after the first
  std::string last_reply_;
  std::string mail_reply_;  // the reply to the last "mail from"
  SendRefusal refusal_;
  OutgoingMail* next_ = nullptr;   // SendAhead's message
  OutgoingMail* ahead_ = nullptr;  // the message whose envelope went ahead, its replies unread
};

}  // namespace corvelle
