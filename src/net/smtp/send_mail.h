#pragma once
// TSendMail: delivers outgoing messages to the SMTP server of the settings, one message
// (from a spool file or a message window's lines) or every ".out" file of the spool folder
// over one connection. The recipients come from the message's own "To: " and "Cc: " lines,
// and the whole message, header included, goes out as the mail data. A delivered message is
// filed into "Sent Mail"; one that was not delivered stays where it was.
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
// A message whose complete text the server refuses is told with its subject and the server's
// reply. After a temporary refusal (4xx) it stays spooled for the next run; one refused for
// good (5xx), or larger than the server's limit, goes to "Postponed", where the user can
// change it and send it again, rather than being sent in vain at every run.
//
// Security (smtp_session.cpp): with SSL/TLS the connection is TLS from the start; with
// STARTTLS the server must offer it, and the session greets again over TLS. When the server
// offers AUTH PLAIN or LOGIN and a user name is set, the sender logs in; the password never
// goes out before TLS unless the choice is "None" and the user allowed it once.
//
// A message is delivered only when the server answered the end of its complete text with
// "250". A text that could not be sent whole (cancelled, socket error) is never ended with
// ".": the connection is dropped instead, so the server throws away what it got. Any reply that
// does not arrive (server closed, stalled, cancelled) also drops the connection, so a later
// message starts afresh rather than reading replies meant for another command.

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "net/mail_transfer.h"
#include "platform/folder_flusher.h"

namespace corvelle {

// Result codes of SendMailMessage.
enum SendResult {
  kSendDelivered = 0,
  kSendGreetingRefused = 1,   // HELO not answered with "250"
  kSendSenderRefused = 2,     // MAIL FROM not answered with "250"
  kSendNoRecipients = 3,      // no recipient found, or a RCPT TO not answered with "250" or "251"
  kSendBodyRefused = 4,       // DATA not answered with "354"
  kSendNotReceived = 5,       // end of data not answered with "250", or the text was not sent whole
  kSendNoConnection = 6,      // no connection to the server
  kSendLineTooLong = 7,       // a line longer than 998 characters: nothing was sent
  kSendTextRefused = 8,       // the complete text was refused; the message stays where it was
  kSendPostponed = 9,         // refused for good, or larger than the server takes: now in "Postponed"
};

class TSendMail : public TMailTransfer {
 public:
  // Takes the server, Port (MailSettings.SendPort) and the sender's address from the
  // settings now; errors go to MailError.
  explicit TSendMail(const TransferContext& context);
  ~TSendMail() override;
  std::string Port;  // a number or a service name; "" for the usual one

  bool Connected = false;   // true from a "220" greeting until the connection ends

  // The error event: shows "Transfer error: " + msg and sets ErrorFlag.
  void MailError(const std::string& msg);

  // Connects to the server (port Port, "25" when empty) and reads the greeting,
  // unless connected already. False with "Could not connect to host." (no connection) or
  // "Could not connect to SMTP server." (no "220" greeting) shown.
  bool ConnectToMailServer();
  // Sends "QUIT" (its reply is not read) when the connection stands, and closes it.
  void DisconnectFromMailServer();

  // Replaces the header lines `lines` by their recipients (ScanHeader), shows "To:" + the
  // recipients joined by ", " as status line 1 and each "subject: " line as status line 2.
  void ProcessHeader(std::vector<std::string>& lines);

  // Sends one message: the spool file `file_name` (a full path), or, when it is empty, the
  // lines `lines` (null: none). Returns a SendResult and shows its message. On delivery the
  // message is filed into "Sent Mail": the spool file itself is moved there (so it leaves the
  // spool folder only as the complete sent copy; if it cannot be filed it is kept in the spool
  // folder with the extension ".sent", never sent twice), and window lines are written there.
  // With `disconnect`, the connection is closed afterwards (unless there was none).
  int SendMailMessage(const std::string& file_name, const std::vector<std::string>* lines, bool disconnect);
  // Status line 0 "Sending message:", then SendMailMessage(file_name, lines, true).
  int SendOneMailMessage(const std::string& file_name, const std::vector<std::string>* lines);
  // Sends every ".out" file of the spool folder (any letter case, sorted by name ignoring
  // case) over one connection; returns the number delivered. A connection that cannot be
  // made, or a greeting that is refused, ends the run at that message: one box, and the
  // rest stays spooled. NotSent counts the run's messages that were not delivered.
  int SendOutGoingMail();
  int NotSent = 0;

  // True when the server's last EHLO reply offered `keyword` ("8BITMIME", "STARTTLS"),
  // ignoring case. False after HELO, and before any greeting of this connection.
  bool Offers(const std::string& keyword) const;

  // The description of a result code; other codes leave `text` as it was.
  static void DecodeMailError(int code, std::string& text);

 private:
  enum class Reply { kAccepted, kRefused, kLost };
  struct Outgoing;

  // Sends `command` (none when empty) and reads the reply. Accepted when it starts with one
  // of `codes`; a refusal is noted with the server's reply (with `note`). A reply that does not arrive
  // drops the connection.
  Reply Command(const std::string& command, std::initializer_list<std::string_view> codes, bool note = true);
  // The two halves of Command: queue a command (false when the connection is gone), and
  // send what is queued and read one reply.
  bool Queue(const std::string& command);
  Reply Answer(std::initializer_list<std::string_view> codes, bool note = true);
  // MAIL, RCPT for every recipient, and DATA: kSendDelivered when the server waits for the
  // text, else the result of the first refusal. One pipelined group when the server offers
  // it; else each command waits for its reply, and a refusal ends the envelope.
  int Envelope(const std::string& from, const std::string& body, const std::vector<std::string>& recipients);
  int Transaction(Outgoing& message, const std::vector<std::string>& recipients);
  // The secure and authenticated start of a connection, after its first greeting. False
  // (after its message) when the session cannot go on safely.
  bool OpenSession();
  // "ehlo", or "helo" when the server refuses it; the EHLO keywords are kept.
  bool Greet();
  bool LogIn();
  bool SendAuth(const std::string& user, const std::string& password);
  bool SendText(Outgoing& message);
  // Ends the transaction the last message left open ("RSET"); false when the server would not.
  bool EndOpenTransaction();
  // The SIZE limit the server announced; 0 when none (or none given).
  unsigned long long SizeLimit() const;
  // Tells the user the message was not sent and why; moves a message refused for good into
  // "Postponed". The result code.
  int Refused(const Outgoing& message, const std::string& reason, bool for_good);
  void FileSentCopy(const Outgoing& message, const std::vector<std::string>* lines);
  // Flushes the two folders of a filing (the move that ends the window in which a crash
  // sends the message again) on the helper thread of `filing_flusher_`, which starts at once
  // when idle, so the next message goes out meanwhile, up to its final ".".
  void SyncFilingFolders();
  void WaitForFilingSync();
  void DropConnection();
  std::string SpoolFolder() const;

  const std::string server_, address_;
  bool reply_lost_ = false;  // a reply of the current message did not arrive
  bool opened_ = false;      // the connection is secured and logged in as far as it will be
  bool greeted_ = false;           // this connection's greeting was answered
  bool transaction_open_ = false;  // a "mail from" went out whose transaction has not ended
  std::vector<std::string> keywords_;  // the lines of the last EHLO reply after the first
  std::string last_reply_;
  std::string mail_reply_;  // the reply to the last "mail from"
  FolderFlusher filing_flusher_;
};

}  // namespace corvelle
