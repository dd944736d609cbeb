#include "net/smtp/send_mail.h"

#include <algorithm>
#include <optional>
#include <sstream>

#include "core/mime/downgrade.h"
#include "core/user_interface.h"
#include "net/smtp/smtp_reply.h"
#include "net/smtp/smtp_text.h"
#include "platform/paths.h"
#include "platform/tcp_socket.h"

namespace corvelle {
namespace {

constexpr size_t kTextChunk = 16 * 1024;    // DATA text handed to the socket in pieces of this size

bool HasEightBit(const std::string& data) {
  return std::any_of(data.begin(), data.end(), [](char c) { return (c & 0x80) != 0; });
}

bool IsMime(const std::vector<std::string>& header) {
  return std::any_of(header.begin(), header.end(),
                     [](const std::string& line) { return StartsWithIgnoringCase(line, "mime-version:"); });
}

}  // namespace

TSendMail::TSendMail(const TransferContext& context)
    : TMailTransfer(context),
      server_(context.settings.SendServer),
      security_(SecurityFromText(context.settings.Secure.SendSecurity, context.settings.SendPort)),
      user_(context.settings.Secure.SendUserName.empty() ? context.settings.UserName
                                                         : context.settings.Secure.SendUserName) {
  Port = context.settings.SendPort;
  channel_.SetErrorHandler([this](const ChannelError&, const std::string& msg) { MailError(msg); });
}

void TSendMail::MailError(const std::string& msg) {
  ShowMessage(ui_, "Transfer error: " + msg);
  ErrorFlag = true;
}

bool TSendMail::ConnectToMailServer() {
  ErrorFlag = false;
  ClearStatus();
  SetStatus(0, "Connecting to mail server...");
  if (Connected && !IsConnected()) Connected = false;  // dropped since: start afresh
  if (!Connected) {
    ahead_ = nullptr;
    const bool tls = security_ == Security::kTls;
    if (Port.empty()) Port = tls ? "465" : "25";
    target_ = {LoginTarget::Service::kSmtp, server_, Port, user_, settings_.Secure.Provider};
    login_ = {};
    if (!user_.empty() && !TakeCredential(target_, login_)) return false;
    if (!channel_.Connect(server_, Port, tls)) {
      ShowMessage(ui_, "Could not connect to host.");
      return false;
    }
    std::string greeting;
    bool read = channel_.ReadReply(greeting);
    if (read && ReplyAccepted(greeting, "220")) {
      Connected = true;
      opened_ = greeted_ = transaction_open_ = false;
    } else {
      ShowMessage(ui_, "Could not connect to SMTP server.");
      if (read)
        DisconnectFromMailServer();
      else
        DropConnection();  // nothing more to say to a server that closed or went silent
    }
  }
  ErrorFlag = !Connected;
  return Connected;
}

void TSendMail::DisconnectFromMailServer() {
  ClearStatus();
  SetStatus(0, "Disconnecting from mail server...");
  if (IsConnected()) {
    if (!ahead_) channel_.Write("QUIT\r\n");
    channel_.Close();
  }
  Connected = false;
  login_ = {};
  ahead_ = nullptr;
}

void TSendMail::DropConnection() {
  if (IsConnected()) channel_.Close();
  Connected = false;
  login_ = {};
  ahead_ = nullptr;
}

bool TSendMail::BeginMessage() {
  CurrentProgress(0);
  // A transaction the last message left open ends first; a server that will not end it is
  // left, and this message starts on a new connection.
  if (Connected && IsConnected() && !EndOpenTransaction()) DropConnection();
  reply_lost_ = false;
  return ConnectToMailServer();
}

SendResult TSendMail::Deliver(OutgoingMail& mail) {
  // Replies to another message's envelope must never be taken for this one's: out of step,
  // the connection starts afresh.
  if (ahead_ && ahead_ != &mail) {
    DropConnection();
    if (!ConnectToMailServer()) return SendResult::kNoConnection;
  }
  ShowHeader(mail);
  if (mail.recipients.empty()) return SendResult::kNoRecipients;
  // Refused before a byte of it is sent, rather than cut or half sent.
  if (LongestDataLine(mail.text.Data()) > kMaxSmtpLine) return SendResult::kLineTooLong;
  return Transaction(mail);
}

void TSendMail::EndMessage(SendResult result) {
  CurrentProgress(100);
  // When a reply did not arrive, the transfer error said why (or the user cancelled).
  if (!reply_lost_) ShowResult(result);
}

void TSendMail::ShowHeader(const OutgoingMail& mail) {
  for (const std::string& subject : mail.subject_lines) SetStatus(2, subject);
  if (mail.recipients.empty()) return;
  std::string shown = "To:";
  for (size_t i = 0; i < mail.recipients.size(); ++i) shown += (i ? ", " : "") + mail.recipients[i];
  SetStatus(1, shown);
}

void TSendMail::ShowResult(SendResult result) {
  switch (result) {
    case SendResult::kGreetingRefused: ShowMessage(ui_, "Mail server did not accept greeting."); break;
    case SendResult::kSenderRefused: ShowMessage(ui_, "Mail server did not accept your email address."); break;
    case SendResult::kNoRecipients:
      ShowMessage(ui_, "Bad \"To:\" line: mail server could not accept mail addressees.");
      break;
    case SendResult::kBodyRefused: ShowMessage(ui_, "Mail server did not accept mail body."); break;
    case SendResult::kLineTooLong:
      ShowMessage(ui_, "Mail message has a line longer than 998 characters, which mail servers do not accept. "
                       "It was not sent.");
      break;
    default: break;
  }
}

TSendMail::Reply TSendMail::Command(const std::string& command, std::initializer_list<std::string_view> codes,
                                    bool note) {
  return Queue(command) ? Answer(codes, note) : Reply::kLost;
}

bool TSendMail::Queue(const std::string& command) {
  if (!IsConnected()) {
    reply_lost_ = true;
    Connected = false;
    return false;
  }
  if (!command.empty()) channel_.Write(command + "\r\n");
  return true;
}

TSendMail::Reply TSendMail::Answer(std::initializer_list<std::string_view> codes, bool note) {
  // Flush failures are reported already (send error, watchdog, cancel).
  if (!channel_.Flush()) {
    reply_lost_ = true;
    DropConnection();
    return Reply::kLost;
  }
  std::string& reply = last_reply_;
  if (channel_.ReadReply(reply)) {
    for (std::string_view code : codes)
      if (ReplyAccepted(reply, code)) return Reply::kAccepted;
    if (note) Note("Mail server answered: " + reply);
    return Reply::kRefused;
  }
  // No whole reply: the dialogue is out of step, so this connection is finished.
  int error = channel_.LastReadError().code;
  // The watchdog has reported a time-out itself, and a cancelled wait is the user's doing.
  if (error != 0 && error != wsa::kTimedOut && error != wsa::kInterrupted) MailError(WinsockErrorText(error));
  DropConnection();
  if (error == 0) return Reply::kRefused;  // a reply without end: refused, with its own message
  reply_lost_ = true;
  return Reply::kLost;
}

SendResult TSendMail::Envelope(const std::string& from, const std::string& body,
                               const std::vector<std::string>& recipients, bool queued) {
  auto sendable = [](const std::string& address) { return IsSendableAddress(address); };
  transaction_open_ = true;  // until the reply to the text's end: anything before leaves it open
  mail_reply_.clear();
  if (!queued &&
      (!Offers("PIPELINING") || !sendable(from) || !std::all_of(recipients.begin(), recipients.end(), sendable))) {
    if (!sendable(from)) return SendResult::kSenderRefused;
    Reply reply = Command("mail from:" + SmtpPath(from) + body, {"250"});
    mail_reply_ = last_reply_;
    if (reply != Reply::kAccepted) return SendResult::kSenderRefused;
    // 251: the server takes the message and forwards it (RFC 5321 3.4).
    for (const std::string& recipient : recipients)
      if (!sendable(recipient) || Command("rcpt to:" + SmtpPath(recipient), {"250", "251"}) != Reply::kAccepted)
        return SendResult::kNoRecipients;
    return Command("data", {"354"}) == Reply::kAccepted ? SendResult::kDelivered : SendResult::kBodyRefused;
  }
  // One group (RFC 2920), DATA last. Every reply is read, in order, so the dialogue stays in
  // step whatever is refused.
  if (!queued) QueueEnvelope(from, body, recipients);
  Reply reply = Answer({"250"});
  mail_reply_ = last_reply_;
  if (reply == Reply::kLost) return SendResult::kSenderRefused;
  SendResult code = reply == Reply::kAccepted ? SendResult::kDelivered : SendResult::kSenderRefused;
  for (size_t i = 0; i < recipients.size(); ++i) {
    reply = Answer({"250", "251"}, code == SendResult::kDelivered);
    if (reply == Reply::kLost) return SendResult::kNoRecipients;
    if (reply == Reply::kRefused && code == SendResult::kDelivered) code = SendResult::kNoRecipients;
  }
  reply = Answer({"354"}, code == SendResult::kDelivered);
  if (reply == Reply::kLost) return code == SendResult::kDelivered ? SendResult::kBodyRefused : code;
  // A server that waits for the text of a refused envelope gets none: closing now, before
  // any ".", makes it drop the transaction, and the next message connects afresh.
  if (reply == Reply::kAccepted && code != SendResult::kDelivered) DropConnection();
  if (reply == Reply::kRefused && code == SendResult::kDelivered) code = SendResult::kBodyRefused;
  return code;
}

void TSendMail::QueueEnvelope(const std::string& from, const std::string& body,
                              const std::vector<std::string>& recipients) {
  Queue("mail from:" + SmtpPath(from) + body);
  for (const std::string& recipient : recipients) Queue("rcpt to:" + SmtpPath(recipient));
  Queue("data");
}

void TSendMail::QueueAhead() {
  OutgoingMail* next = next_;
  if (!next || next->recipients.empty() || !Offers("PIPELINING") || !IsSendableAddress(next->from)) return;
  for (const std::string& recipient : next->recipients)
    if (!IsSendableAddress(recipient)) return;
  const std::string& data = next->text.Data();
  if (LongestDataLine(data) > kMaxSmtpLine) return;
  const bool eight_bit = HasEightBit(data);
  std::string body;
  if ((eight_bit && IsMime(next->header) && !Offers("8BITMIME")) || !MailParameters(data, eight_bit, body)) return;
  QueueEnvelope(next->from, body, next->recipients);
  ahead_ = next;
}

bool TSendMail::SendText(TBigFile& text) {
  text.SetPosition(0);
  const size_t size = text.Size();
  std::string line, chunk;
  chunk.reserve(kTextChunk + 1024);
  bool whole = false;
  while (!ErrorFlag && IsConnected()) {
    if (!text.GetNextString(line)) {
      whole = true;
      break;
    }
    ForEachDataLine(line, [&chunk](std::string_view piece) {
      chunk.append(piece);
      chunk += "\r\n";
    });
    if (chunk.size() >= kTextChunk) {
      channel_.Write(chunk);
      chunk.clear();
    }
    int percent = size ? static_cast<int>((text.Position() * 100 + size / 2) / size) : 100;
    CurrentProgress(percent);
  }
  if (!whole || ErrorFlag || !IsConnected()) return false;
  // The text goes out before the wait below, so that the server takes it in meanwhile.
  channel_.Write(chunk);
  if (!channel_.Flush()) return false;
  // The flush of the message before ends its window for a second sending; this one's window
  // opens with its ".". So at most one message is ever between the two, as when every flush
  // was waited for at once.
  if (OnEndOfText) OnEndOfText();
  channel_.Write(".\r\n");
  QueueAhead();
  return !ErrorFlag;
}

bool TSendMail::EndOpenTransaction() {
  if (!transaction_open_) return true;
  transaction_open_ = false;
  return Command("RSET", {"250"}) == Reply::kAccepted;
}

unsigned long long TSendMail::SizeLimit() const {
  for (const std::string& line : keywords_) {
    std::istringstream words(line);
    std::string keyword;
    unsigned long long limit = 0;
    if (words >> keyword && SameNameIgnoringCase(keyword, "SIZE") && words >> limit) return limit;
  }
  return 0;
}

SendResult TSendMail::Transaction(OutgoingMail& mail) {
  ErrorFlag = false;
  // Once per connection: a server may refuse a second greeting ("503 Already identified").
  if (!greeted_ && !(greeted_ = Greet())) return SendResult::kGreetingRefused;
  // The first message of a connection secures it and logs in; a session that cannot go on
  // safely is dropped, and the message stays spooled like one that found no server.
  if (!opened_ && !(opened_ = OpenSession())) {
    DropConnection();
    return SendResult::kNoConnection;
  }
  // 8-bit text is declared to a server that takes it. To one that does not, a MIME message
  // goes with its 8-bit parts as quoted-printable; any other text goes as it always did,
  // byte for byte. The stored text and the filed copy stay as they are.
  const bool eight_bit = HasEightBit(mail.text.Data());
  std::optional<TBigFile> downgraded;
  if (eight_bit && IsMime(mail.header) && !Offers("8BITMIME")) {
    downgraded.emplace();
    downgraded->LoadFromString(DowngradeTo7Bit(mail.text.Data()));
  }
  TBigFile& text = downgraded ? *downgraded : mail.text;
  std::string body;
  if (!MailParameters(text.Data(), eight_bit, body))
    return Refused("It is larger than the mail server accepts (" + std::to_string(WireSize(text.Data())) +
                       " bytes; its limit is " + std::to_string(SizeLimit()) + " bytes).",
                   true);
  const bool queued = ahead_ == &mail;
  ahead_ = nullptr;
  SendResult code = Envelope(mail.from, body, mail.recipients, queued);
  // 552 to a declared size: the message is over what the server takes, for good (RFC 1870 6.1).
  if (code == SendResult::kSenderRefused && !reply_lost_ && body.find(" SIZE=") != std::string::npos &&
      ReplyAccepted(mail_reply_, "552"))
    return Refused("The mail server answered \"" + OneLine(mail_reply_) + "\".", true);
  return code == SendResult::kDelivered ? DeliverText(text) : code;
}

bool TSendMail::MailParameters(const std::string& data, bool eight_bit, std::string& body) const {
  body = eight_bit && Offers("8BITMIME") ? " BODY=8BITMIME" : "";
  if (!Offers("SIZE")) return true;
  const unsigned long long size = WireSize(data);
  const unsigned long long limit = SizeLimit();
  if (limit > 0 && size > limit) return false;
  body += " SIZE=" + std::to_string(size);
  return true;
}

SendResult TSendMail::DeliverText(TBigFile& text) {
  // A text that did not go out whole is never ended with ".": the server drops what it got.
  if (!SendText(text)) {
    DropConnection();
    return SendResult::kNotReceived;
  }
  Reply reply = Command("", {"250"});
  if (reply == Reply::kLost) return SendResult::kNotReceived;
  transaction_open_ = false;  // the reply to the text's end ends the transaction either way
  if (reply == Reply::kRefused) {
    // A reply without end (the connection is gone then) is no refusal the server meant.
    if (!IsConnected()) return SendResult::kNotReceived;
    return Refused("The mail server answered \"" + OneLine(last_reply_) + "\".", last_reply_[0] == '5');
  }
  ErrorFlag = false;
  return SendResult::kDelivered;
}

SendResult TSendMail::Refused(std::string reason, bool for_good) {
  refusal_ = {std::move(reason), for_good};
  return SendResult::kTextRefused;
}

void TSendMail::DecodeMailError(SendResult code, std::string& text) {
  switch (code) {
    case SendResult::kGreetingRefused: text = "Mail server does not accept greeting."; break;
    case SendResult::kSenderRefused: text = "Bad entry in FROM: line."; break;
    case SendResult::kNoRecipients: text = "Bad entry in TO: line."; break;
    case SendResult::kBodyRefused: text = "Mail server will not accept message body."; break;
    case SendResult::kNotReceived: text = "Mail server did not properly receive file."; break;
    case SendResult::kNoConnection: text = "Cannot connect to mail server."; break;
    case SendResult::kLineTooLong: text = "Message has a line longer than 998 characters."; break;
    case SendResult::kTextRefused: text = "Mail server refused the message."; break;
    case SendResult::kPostponed: text = "Mail server refused the message; it was moved to \"Postponed\"."; break;
    case SendResult::kDelivered: break;
  }
}

}  // namespace corvelle
