#include "net/smtp/send_mail.h"

#include <algorithm>
#include <optional>
#include <sstream>

#include "core/messages/postpone_message.h"
#include "core/mime/downgrade.h"
#include "core/mime/mime_text.h"
#include "core/store/addresses.h"
#include "core/store/big_file.h"
#include "core/store/file_message.h"
#include "core/store/file_naming.h"
#include "core/store/folder_files.h"
#include "core/store/folder_list.h"
#include "core/settings/security_settings.h"
#include "core/settings/settings.h"
#include "core/user_interface.h"
#include "net/smtp/smtp_recipients.h"
#include "net/smtp/smtp_reply.h"
#include "net/smtp/smtp_text.h"
#include "platform/paths.h"
#include "platform/tcp_socket.h"

namespace corvelle {
namespace {

constexpr const char* kSentMail = "Sent Mail";
constexpr const char* kPostponed = "Postponed";
constexpr size_t kTextChunk = 16 * 1024;    // DATA text handed to the socket in pieces of this size

bool InFolder(const std::string& path, const std::string& folder) {
  std::string a = FolderPart(path), b = folder;
  while (a.size() > 1 && a.back() == '/') a.pop_back();
  while (b.size() > 1 && b.back() == '/') b.pop_back();
  return a == b;
}

// A reply as one line, for a box.
std::string OneLine(std::string text) {
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
  std::string line;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    line += text[i] == '\r' || text[i] == '\n' ? ' ' : text[i];
  }
  return line;
}

// The subject of a message for the user, decoded; "(none)" without one.
std::string SubjectOf(const std::vector<std::string>& header) {
  for (const std::string& line : header)
    if (StartsWithIgnoringCase(line, "subject:")) {
      std::string subject = DecodeHeaderText(Trimmed(std::string_view(line).substr(8)));
      if (!subject.empty()) return subject;
    }
  return "(none)";
}

void ShowResult(int code) {
  switch (code) {
    case kSendGreetingRefused: ShowMessage("Mail server did not accept greeting."); break;
    case kSendSenderRefused: ShowMessage("Mail server did not accept your email address."); break;
    case kSendNoRecipients: ShowMessage("Bad \"To:\" line: mail server could not accept mail addressees."); break;
    case kSendBodyRefused: ShowMessage("Mail server did not accept mail body."); break;
    case kSendLineTooLong:
      ShowMessage("Mail message has a line longer than 998 characters, which mail servers do not accept. "
                  "It was not sent.");
      break;
    default: break;
  }
}

}  // namespace

// One message made ready to send: its text, the header lines that name its recipients, and
// the header lines its filed copy is named after.
struct TSendMail::Outgoing {
  TBigFile text;
  std::vector<std::string> header;
  std::vector<std::string> filing_copy;
  std::string source;  // the spool file as stored (letter case resolved); "" for window lines
  const std::vector<std::string>* lines = nullptr;  // the window lines, when those are sent
};

TSendMail::TSendMail(const TransferContext& context) : TMailTransfer(context), server_(context.settings.SendServer), address_(context.settings.MailAddress) {
  Port = context.settings.SendPort;
  channel_.SetErrorHandler([this](const ChannelError&, const std::string& msg) {
    MailError(msg);
  });
}

void TSendMail::MailError(const std::string& msg) {
  ShowMessage("Transfer error: " + msg);
  ErrorFlag = true;
}

bool TSendMail::ConnectToMailServer() {
  ErrorFlag = false;
  ClearStatus();
  SetStatus(0, "Connecting to mail server...");
  if (Connected && !IsConnected()) Connected = false;  // dropped since: start afresh
  if (!Connected) {
    const bool tls = SendSecurity(MailSettings) == Security::kTls;
    if (Port.empty()) Port = tls ? "465" : "25";
    if (!channel_.Connect(server_, Port, tls)) {
      ShowMessage("Could not connect to host.");
      return false;
    }
    std::string greeting;
    bool read = channel_.ReadReply(greeting);
    if (read && ReplyAccepted(greeting, "220")) {
      Connected = true;
      opened_ = greeted_ = transaction_open_ = false;
    } else {
      ShowMessage("Could not connect to SMTP server.");
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
    channel_.Write("QUIT\r\n");
    channel_.Close();
  }
  Connected = false;
}

void TSendMail::DropConnection() {
  if (IsConnected()) channel_.Close();
  Connected = false;
}

void TSendMail::ProcessHeader(std::vector<std::string>& lines) {
  HeaderScan scan = ScanHeader(lines, [] { Ui().ProcessEvents(); });
  for (const std::string& subject : scan.subjects) SetStatus(2, subject);
  lines = std::move(scan.recipients);
  if (lines.empty()) return;
  std::string shown = "To:";
  for (size_t i = 0; i < lines.size(); ++i) shown += (i ? ", " : "") + lines[i];
  SetStatus(1, shown);
}

std::string TSendMail::SpoolFolder() const { return ResolvePath(mail_directory_ + "Spool"); }

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

int TSendMail::Envelope(const std::string& from, const std::string& body,
                        const std::vector<std::string>& recipients) {
  auto sendable = [](const std::string& address) { return IsSendableAddress(address); };
  transaction_open_ = true;  // until the reply to the text's end: anything before leaves it open
  mail_reply_.clear();
  if (!Offers("PIPELINING") || !sendable(from) || !std::all_of(recipients.begin(), recipients.end(), sendable)) {
    if (!sendable(from)) return kSendSenderRefused;
    Reply reply = Command("mail from:" + SmtpPath(from) + body, {"250"});
    mail_reply_ = last_reply_;
    if (reply != Reply::kAccepted) return kSendSenderRefused;
    // 251: the server takes the message and forwards it (RFC 5321 3.4).
    for (const std::string& recipient : recipients)
      if (!sendable(recipient) || Command("rcpt to:" + SmtpPath(recipient), {"250", "251"}) != Reply::kAccepted)
        return kSendNoRecipients;
    return Command("data", {"354"}) == Reply::kAccepted ? kSendDelivered : kSendBodyRefused;
  }
  // One group (RFC 2920), DATA last. Every reply is read, in order, so the dialogue stays in
  // step whatever is refused.
  Queue("mail from:" + SmtpPath(from) + body);
  for (const std::string& recipient : recipients) Queue("rcpt to:" + SmtpPath(recipient));
  Queue("data");
  Reply reply = Answer({"250"});
  mail_reply_ = last_reply_;
  if (reply == Reply::kLost) return kSendSenderRefused;
  int code = reply == Reply::kAccepted ? kSendDelivered : kSendSenderRefused;
  for (size_t i = 0; i < recipients.size(); ++i) {
    reply = Answer({"250", "251"}, code == kSendDelivered);
    if (reply == Reply::kLost) return kSendNoRecipients;
    if (reply == Reply::kRefused && code == kSendDelivered) code = kSendNoRecipients;
  }
  reply = Answer({"354"}, code == kSendDelivered);
  if (reply == Reply::kLost) return code == kSendDelivered ? kSendBodyRefused : code;
  // A server that waits for the text of a refused envelope gets none: closing now, before
  // any ".", makes it drop the transaction, and the next message connects afresh.
  if (reply == Reply::kAccepted && code != kSendDelivered) DropConnection();
  if (reply == Reply::kRefused && code == kSendDelivered) code = kSendBodyRefused;
  return code;
}

bool TSendMail::SendText(Outgoing& message) {
  TBigFile& text = message.text;
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
  // The flush of the message before ends its window for a second sending; this one's window
  // opens with its ".". So at most one message is ever between the two, as when every flush
  // was waited for at once (it has long ended by now, as a rule).
  WaitForFilingSync();
  chunk += ".\r\n";
  channel_.Write(chunk);
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

int TSendMail::Transaction(Outgoing& message, const std::vector<std::string>& recipients) {
  ErrorFlag = false;
  // Once per connection: a server may refuse a second greeting ("503 Already identified").
  if (!greeted_ && !(greeted_ = Greet())) return kSendGreetingRefused;
  // The first message of a connection secures it and logs in; a session that cannot go on
  // safely is dropped, and the message stays spooled like one that found no server.
  if (!opened_ && !(opened_ = OpenSession())) {
    DropConnection();
    return kSendNoConnection;
  }
  // 8-bit text is declared to a server that takes it. To one that does not, a MIME message
  // goes with its 8-bit parts as quoted-printable; any other text goes as it always did,
  // byte for byte. The stored text and the filed copy stay as they are.
  const std::string& data = message.text.Data();
  bool eight_bit = std::any_of(data.begin(), data.end(), [](char c) { return (c & 0x80) != 0; });
  bool mime = std::any_of(message.header.begin(), message.header.end(),
                          [](const std::string& line) { return StartsWithIgnoringCase(line, "mime-version:"); });
  std::optional<Outgoing> downgraded;
  if (eight_bit && mime && !Offers("8BITMIME")) {
    downgraded = message;
    downgraded->text.LoadFromString(DowngradeTo7Bit(data));
  }
  std::string body = eight_bit && Offers("8BITMIME") ? " BODY=8BITMIME" : "";
  if (Offers("SIZE")) {
    const unsigned long long size = WireSize((downgraded ? *downgraded : message).text.Data());
    const unsigned long long limit = SizeLimit();
    if (limit > 0 && size > limit)
      return Refused(message,
                     "It is larger than the mail server accepts (" + std::to_string(size) +
                         " bytes; its limit is " + std::to_string(limit) + " bytes).",
                     true);
    body += " SIZE=" + std::to_string(size);
  }
  int code = Envelope(std::string(Trimmed(ExtractAddress(address_))), body, recipients);
  // 552 to a declared size: the message is over what the server takes, for good (RFC 1870 6.1).
  if (code == kSendSenderRefused && !reply_lost_ && body.find(" SIZE=") != std::string::npos &&
      ReplyAccepted(mail_reply_, "552"))
    return Refused(message, "The mail server answered \"" + OneLine(mail_reply_) + "\".", true);
  if (code != kSendDelivered) return code;
  // A text that did not go out whole is never ended with ".": the server drops what it got.
  if (!SendText(downgraded ? *downgraded : message)) {
    DropConnection();
    return kSendNotReceived;
  }
  Reply reply = Command("", {"250"});
  if (reply == Reply::kLost) return kSendNotReceived;
  transaction_open_ = false;  // the reply to the text's end ends the transaction either way
  if (reply == Reply::kRefused) {
    // A reply without end (the connection is gone then) is no refusal the server meant.
    if (!IsConnected()) return kSendNotReceived;
    return Refused(message, "The mail server answered \"" + OneLine(last_reply_) + "\".", last_reply_[0] == '5');
  }
  ErrorFlag = false;
  return kSendDelivered;
}

int TSendMail::Refused(const Outgoing& message, const std::string& reason, bool for_good) {
  std::string text = "The message \"" + SubjectOf(message.header) + "\" was not sent. " + reason;
  int code = kSendTextRefused;
  if (for_good) {
    // Sending it again would only be refused again: it waits in "Postponed" for the user.
    std::string filed_as;
    if (message.source.empty()) {
      if (message.lines && PostponeNewMessage(MailStore(MailSettings.MailDirectory, MailSettings.DecodeNames), Ui(), *message.lines, filed_as) == Postponing::kSaved) code = kSendPostponed;
    } else if (InFolder(message.source, SpoolFolder())) {
      FilingResult result;
      MailStore(MailSettings.MailDirectory, MailSettings.DecodeNames).FileMessage(Ui(), JoinFolderList({kPostponed}), "Spool", NamePart(message.source), message.filing_copy, false, result);
      if (!result.copies.empty() && result.AllMoved() && !EntryExists(message.source)) {
        code = kSendPostponed;
      }
    }
    if (code == kSendPostponed) {
      filing_flusher_.Request({ResolvePath(mail_directory_ + kPostponed), SpoolFolder()});
      text += " It was moved to the folder \"Postponed\": open it there to change it and send it again.";
    }
  }
  if (code != kSendPostponed && InFolder(message.source, SpoolFolder()))
    text += " It stays in the spool folder and is sent again with the next Get / Send All.";
  ShowMessage(text);
  return code;
}

TSendMail::~TSendMail() { WaitForFilingSync(); }

void TSendMail::WaitForFilingSync() { filing_flusher_.Wait(); }

void TSendMail::SyncFilingFolders() {
  filing_flusher_.Request({ResolvePath(mail_directory_ + kSentMail), SpoolFolder()});
}

void TSendMail::FileSentCopy(const Outgoing& message, const std::vector<std::string>* lines) {
  const std::string folders = JoinFolderList({kSentMail});
  std::string work;  // a file written here to be filed
  std::vector<std::string> copy;
  if (message.source.empty()) {
    if (lines) copy = *lines;
  } else if (!InFolder(message.source, SpoolFolder())) {
    // Not a spool file: it stays where it is, and a copy of it is filed.
    TBigFile text = message.text;
    text.SetPosition(0);
    std::string line;
    while (text.GetNextString(line)) copy.push_back(line);
  }
  bool written = true;
  std::string left_over;
  if (message.source.empty() || !copy.empty()) {
    work = UniqueFileName(mail_directory_ + "Spool", "");
    written = MailStore(MailSettings.MailDirectory, MailSettings.DecodeNames).FileMessage(Ui(), folders, "Spool", NamePart(work), copy, true);
    left_over = work;
  } else {
    // The spool file itself moves into "Sent Mail": it leaves the spool folder only as the
    // complete sent copy.
    MailStore(MailSettings.MailDirectory, MailSettings.DecodeNames).FileMessage(Ui(), folders, "Spool", NamePart(message.source), message.filing_copy, false);
    left_over = message.source;
  }
  if (written && !EntryExists(left_over)) {
    SyncFilingFolders();
    return;
  }
  std::string kept;
  if (EntryExists(left_over)) {
    kept = left_over;
    if (left_over == message.source) {
      // Delivered but not filed: kept in the spool folder, never to be sent again.
      std::string name = NamePart(left_over);
      std::string stem = name.substr(0, name.size() - FileExtension(name).size());
      std::string moved;
      if (MoveFileUnique(Ui(), left_over, FolderPart(left_over) + stem + ".sent", moved)) kept = moved;
    }
  }
  ShowMessage("The message was sent, but it could not be filed into \"Sent Mail\"." +
              (kept.empty() ? std::string() : " It is kept as " + kept + "."));
}

int TSendMail::SendMailMessage(const std::string& file_name, const std::vector<std::string>* lines,
                               bool disconnect) {
  CurrentProgress(0);
  // A transaction the last message left open ends first; a server that will not end it is
  // left, and this message starts on a new connection.
  if (Connected && IsConnected() && !EndOpenTransaction()) DropConnection();
  reply_lost_ = false;
  if (!ConnectToMailServer()) return kSendNoConnection;

  Outgoing message;
  message.lines = lines;
  bool loaded = true;
  if (file_name.empty()) {
    std::string data;
    if (lines) {
      for (const std::string& line : *lines) {
        data += line;
        data += "\r\n";
      }
    }
    message.text.LoadFromString(std::move(data));
  } else {
    message.source = ResolvePath(file_name);
    loaded = message.text.LoadFromFile(message.source);
  }
  // The header as the server will see it (a bare CR ends a line there), all of it however
  // long: a recipient may stand on any of its lines.
  std::string line;
  bool header_ended = false;
  while (loaded && !header_ended && message.text.GetNextString(line)) {
    ForEachWireLine(line, [&](std::string_view piece) {
      if (piece.empty()) header_ended = true;
      if (!header_ended) message.header.emplace_back(piece);
    });
  }
  if (!message.source.empty()) message.filing_copy = message.header;

  std::vector<std::string> recipients = message.header;
  ProcessHeader(recipients);
  int code;
  if (!loaded || recipients.empty())
    code = kSendNoRecipients;
  else if (LongestDataLine(message.text.Data()) > kMaxSmtpLine)
    code = kSendLineTooLong;  // refused before a byte of it is sent, rather than cut or half sent
  else
    code = Transaction(message, recipients);
  if (code == kSendDelivered) FileSentCopy(message, lines);

  if (disconnect) {
    DisconnectFromMailServer();
    WaitForFilingSync();
  }
  CurrentProgress(100);
  // When a reply did not arrive, the transfer error said why (or the user cancelled).
  if (!reply_lost_) ShowResult(code);
  return code;
}

int TSendMail::SendOneMailMessage(const std::string& file_name, const std::vector<std::string>* lines) {
  ForgetNotes();
  SetStatus(0, "Sending message:");
  return SendMailMessage(file_name, lines, true);
}

int TSendMail::SendOutGoingMail() {
  TotalProgress(0);
  NotSent = 0;
  if (CancelAll) return 0;
  ForgetNotes();
  const std::string spool = mail_directory_ + "Spool";
  std::vector<std::string> names, outgoing;
  ListFolderFiles(Ui(), spool, names);
  for (const std::string& name : names)
    if (SameNameIgnoringCase(FileExtension(name), ".out")) outgoing.push_back(name);

  int count = 0;
  const int n = static_cast<int>(outgoing.size());
  for (int i = 1; i <= n && !CancelAll; ++i) {
    ClearStatus();
    SetStatus(0, "Sending message: " + std::to_string(i) + " of " + std::to_string(n));
    int result = SendMailMessage(spool + "/" + outgoing[i - 1], nullptr, false);
    if (result == kSendDelivered) ++count;
    TotalProgress(i * 100 / n);
    // No connection, or no greeting: the others would each fail the same way, with a box
    // each. They stay spooled for the next run.
    if (result == kSendNoConnection || result == kSendGreetingRefused) break;
  }
  NotSent = n - count;
  if (Connected) DisconnectFromMailServer();
  WaitForFilingSync();
  ClearStatus();
  return count;
}

void TSendMail::DecodeMailError(int code, std::string& text) {
  switch (code) {
    case kSendGreetingRefused: text = "Mail server does not accept greeting."; break;
    case kSendSenderRefused: text = "Bad entry in FROM: line."; break;
    case kSendNoRecipients: text = "Bad entry in TO: line."; break;
    case kSendBodyRefused: text = "Mail server will not accept message body."; break;
    case kSendNotReceived: text = "Mail server did not properly receive file."; break;
    case kSendNoConnection: text = "Cannot connect to mail server."; break;
    case kSendLineTooLong: text = "Message has a line longer than 998 characters."; break;
    case kSendTextRefused: text = "Mail server refused the message."; break;
    case kSendPostponed: text = "Mail server refused the message; it was moved to \"Postponed\"."; break;
    default: break;
  }
}

}  // namespace corvelle
