#include "net/pop3/get_mail.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>

#include "core/settings.h"
#include "core/status_text.h"
#include "core/user_interface.h"
#include "net/pop3/pop3_reply.h"
#include "net/pop3/spool_writer.h"
#include "platform/disk_sync.h"
#include "platform/paths.h"
#include "platform/tcp_socket.h"

namespace corvelle {
namespace {

constexpr size_t kReplyKeep = 64 * 1024;
constexpr long kUnknownSizeBudget = 2048;
constexpr long long kMiB = 1 << 20;

// The most a message may take from the stream (terminators, stuffing and end line
// included): well above what the server announced, and 100 MiB when it announced nothing.
long long MessageByteLimit(long announced) {
  if (announced <= 0) return 100 * kMiB;
  long long size = std::min<long long>(announced, 1LL << 40);  // no overflow below
  return std::max(2 * size, size + kMiB);
}

DiskFlush& InstalledFlush() {
  static DiskFlush flush;
  return flush;
}

bool FlushToDisk(const std::string& folder) {
  return InstalledFlush() ? InstalledFlush()(folder) : SyncFileSystem(folder);
}

bool StartsWithLower(const std::string& line, std::string_view prefix) {
  return line.size() >= prefix.size() && AsciiLower(std::string_view(line).substr(0, prefix.size())) == prefix;
}

}  // namespace

void SetDiskFlush(DiskFlush flush) { InstalledFlush() = std::move(flush); }

TGetMail::TGetMail() {
  Port = MailSettings.MailPort;
  DeleteAfter = !MailSettings.LeaveMailOnServer.empty() && MailSettings.LeaveMailOnServer[0] == '0';
  OnErrorOccurred = [this](TSockets& sender, int socket, int error, const std::string& msg) {
    MailError(sender, socket, error, msg);
  };
  OnDataAvailable = [this](TSockets& sender, int socket) { DataReady(sender, socket); };
  std::string log = ResolvePath(MailSettings.MailDirectory + "System/netlog.txt");
  log_ = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0600);
}

TGetMail::~TGetMail() {
  CommitWorkFiles();
  if (log_ >= 0) ::close(log_);
}

void TGetMail::WriteLog(const std::string& text) {
  if (log_ < 0) {
    std::string log = ResolvePath(MailSettings.MailDirectory + "System/netlog.txt");
    log_ = ::open(log.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (log_ < 0) return;
  }
  std::string entry = text + "\r\n";
  size_t at = 0;
  while (at < entry.size()) {
    ssize_t n = ::write(log_, entry.data() + at, entry.size() - at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    at += static_cast<size_t>(n);
  }
}

void TGetMail::MailError(TSockets&, int, int, const std::string& msg) {
  LastError = msg;
  ErrorFlag = true;
}

void TGetMail::DataReady(TSockets&, int) { DataIsReady = true; }

bool TGetMail::IsDataReady() {
  bool ready = DataIsReady;
  DataIsReady = false;
  return ready;
}

const std::string& TGetMail::SpoolFolder() {
  if (spool_.empty()) spool_ = ResolvePath(MailSettings.MailDirectory + "Spool");
  return spool_;
}

void TGetMail::ConnectionLost() {
  int code = LastReceiveError();
  // A time-out has been reported by the watchdog and a cancel by CancelListen already.
  if (code != wsa::kTimedOut && code != wsa::kInterrupted && code != 0) LastError = ErrorText(code);
  ErrorFlag = true;
  LoggedIn = false;
  session_lost_ = true;
  if (IsConnected()) Disconnect();
}

bool TGetMail::WaitInterrupted() const { return LastReceiveError() == wsa::kInterrupted && SessionUsable(); }

bool TGetMail::ReadReplyLine(std::string& line) {
  if (!SessionUsable()) {
    line.clear();
    return false;
  }
  if (ReceiveWholeLine(line, kReplyKeep)) return true;
  // A Cancel while the reply was awaited: the reply still comes, and the cancel flags say
  // what to do after it. A second Cancel gives the session up.
  if (WaitInterrupted() && ReceiveWholeLine(line, kReplyKeep)) return true;
  ConnectionLost();
  return false;
}

bool TGetMail::DoPOPLogin() {
  DataIsReady = false;
  ErrorFlag = false;
  bool result = false;
  ClearStatus();
  SetStatus(0, "Connecting to mail server...");
  SetNonBlocking(false);
  IPAddr = MailSettings.MailServer;
  if (Port.empty()) Port = "110";
  WriteLog("Connecting to: " + MailSettings.MailServer + " " + Port);
  CommitWorkFiles();  // messages of an earlier connection that ended without a logout
  session_lost_ = false;
  next_work_ = 0;
  deletions_ = 0;
  spool_.clear();
  SConnect();
  if (Socket == -1) {
    ShowMessage("Could not connect to host.");
    ErrorFlag = true;  // a run that could not connect is a failed run
    return false;
  }
  bool greeting_read = false, good = false;
  if (!ErrorFlag) {
    Ui().ProcessEvents();
    std::string reply;
    greeting_read = ReceiveReply(Socket, reply);
    WriteLog("> " + reply);
    good = IsPositiveReply(reply);
  }
  if (!greeting_read || !good) {
    ShowMessage("POP server did not return greeting status OK.");
    if (IsConnected()) Disconnect();  // the server refused us: nothing to end politely
  } else if (ErrorFlag) {
    ShowMessage("Transmission error occurred.");
    if (IsConnected()) Disconnect();
  } else {
    result = Authenticate();
    if (!result) DoPOPLogout();
  }
  ErrorFlag = !result;
  return result;
}

bool TGetMail::Authenticate() {
  std::string command = "USER " + MailSettings.UserName + "\r\n";
  SetText(command);
  WriteLog("< " + command);
  std::string line;
  bool read = ReadReplyLine(line);
  WriteLog("> " + line);
  if (!read) {
    ShowMessage("Transmission error occurred.");
    return false;
  }
  if (!IsPositiveReply(line)) {
    ShowMessage("Invalid username");
    return false;
  }
  SetText("PASS " + DecodePassword(MailSettings.PassWord) + "\r\n");  // never logged
  read = ReadReplyLine(line);
  WriteLog("> " + line);
  if (!read) {
    ShowMessage("Transmission error occurred.");
    return false;
  }
  if (!IsPositiveReply(line)) {
    ShowMessage("Invalid password or another mail session active.");
    return false;
  }
  LoggedIn = true;
  // Work files left by a run that never reached QUIT (a crash, a kill) hold messages the
  // server still has: this session fetches them again.
  SpoolWriter::RemoveWorkFiles(SpoolFolder());
  return true;
}

bool TGetMail::ResetStep() {
  if (!SessionUsable()) return false;
  ClearStatus();
  SetStatus(0, "Marking all mail messages as unretrieved...");
  SetText("RSET\r\n");
  WriteLog("RSET\r\n");
  std::string line;
  bool read = ReadReplyLine(line);
  WriteLog(line);
  return read && IsPositiveReply(line);
}

bool TGetMail::CommitWorkFiles() {
  if (work_files_.empty()) return true;
  std::vector<std::string> files = std::move(work_files_);
  work_files_.clear();
  const std::string& spool = SpoolFolder();
  // One flush for the whole connection keeps retrieval fast; only then may a file take the
  // name that says it is complete.
  size_t moved = 0;
  bool ok = FlushToDisk(spool);
  if (ok) {
    std::uint64_t next = 0;
    while (moved < files.size() && !SpoolWriter::MoveToFreeName(files[moved], spool, ".new", next).empty()) ++moved;
    ok = moved == files.size();
    if (moved > 0 && !SyncPath(spool)) ok = false;
  }
  for (size_t i = moved; i < files.size(); ++i) {
    RemoveFile(files[i]);
    ++discarded_;
  }
  return ok;
}

void TGetMail::DoPOPLogout() {
  // The server deletes what DELE marked when QUIT commits: the files must be complete, on
  // disk and under their final names first. When they are not, or when deletions could not
  // be taken back, no QUIT is sent: a connection closed without it commits nothing.
  bool quit = CommitWorkFiles();
  if (!quit)
    ErrorFlag = true;
  else if (ErrorFlag && !ResetStep() && deletions_ > 0)
    quit = false;
  ClearStatus();
  SetStatus(0, "Disconnecting from mail server...");
  WriteLog("QUIT");
  LoggedIn = false;
  if (!quit || !SessionUsable()) {
    if (IsConnected()) Disconnect();
    return;
  }
  SetText("QUIT\r\n");
  // The reply says the server has committed; closing before it could abort the commit.
  std::string reply;
  ReceiveWholeLine(reply, kReplyKeep);
  if (IsConnected()) Disconnect();
}

int TGetMail::GetMailStatus() {
  ErrorFlag = true;
  if (!LoggedIn && !DoPOPLogin()) return 0;
  SetText("STAT\r\n");
  WriteLog("STAT\r\n");
  std::string line;
  bool read = ReadReplyLine(line);
  WriteLog(line);
  if (!read || !IsPositiveReply(line)) return 0;
  ErrorFlag = false;
  int count = StatCount(line);
  if (count == -1) ShowMessage("Server protocol error on STAT");
  return count;
}

bool TGetMail::DrainMessage(MessageRead& read) {
  std::string piece;
  bool complete = false;
  int cancels = CancelCount();
  for (;;) {
    long taken = SessionUsable() ? ReceiveLongLine(piece, complete) : 0;
    if (taken == 0) {
      if (SessionUsable()) ConnectionLost();
      return false;
    }
    read.taken += taken;
    if (read.at_line_start && complete && IsEndOfReply(piece)) return true;
    read.at_line_start = complete;
    if (read.taken > read.limit) {
      MessageTooLarge(read);
      return false;
    }
    Ui().ProcessEvents();
    // Another Cancel while the rest is read: give the session up rather than read on.
    if (CancelCount() != cancels) {
      ConnectionLost();
      return false;
    }
  }
}

void TGetMail::MessageTooLarge(const MessageRead& read) {
  ShowMessage(read.announced ? "POP server sent more than the message size it announced."
                             : "POP server sent a message larger than 100 MB.");
  // What the server sends next cannot be trusted to end: leave without QUIT.
  ConnectionLost();
}

long TGetMail::GetMailMessage(int number) {
  ErrorFlag = false;
  CurrentProgress(0);
  if (!LoggedIn && !DoPOPLogin()) return 0;

  std::string command = "RETR " + std::to_string(number) + "\r\n";
  SetText(command);
  Flush();
  WriteLog(command);
  // The file is made while the server prepares its reply; it is removed again if no
  // message comes.
  SpoolWriter file;
  bool created = file.CreateWork(SpoolFolder(), next_work_);
  std::string reply;
  bool answered = ReadReplyLine(reply);
  WriteLog(reply);
  if (!answered) {  // the connection is gone; the message stays on the server
    file.Remove();
    CurrentProgress(100);
    return 0;
  }
  if (!IsPositiveReply(reply)) {
    file.Remove();
    ShowMessage("POP server will not allow message retrieval.");
    ErrorFlag = true;
    CurrentProgress(100);
    return 0;
  }

  RetrSize announced = RetrReplySize(reply);
  MessageRead message;
  message.announced = announced.size > 0;
  message.limit = MessageByteLimit(announced.size);
  if (!created) {
    // Read past the message so the session stays in step; a spool folder that takes no
    // file will not take the next message either, so the run ends here.
    DrainMessage(message);
    ShowMessage("Could not open mail save file.");
    stop_run_ = true;
    CurrentProgress(100);
    return 0;
  }

  WriteLog("Found file size: " + std::to_string(announced.size));
  SetStatus(1, announced.text + " bytes");
  CurrentProgress(10);

  // Progress runs from 10 to 90 over the bytes taken; without an announced size it runs
  // over a nominal budget and stops at 90.
  const long total = announced.size > 0 ? announced.size : kUnknownSizeBudget;
  long budget = total;
  bool first_line = true, complete = false;
  bool ended = false, write_failed = false;
  long line_taken = 0;
  std::string piece;
  while (!ErrorFlag && !ended) {
    long taken = ReceiveLongLine(piece, complete);
    if (taken == 0) {
      // Cancel pressed while the server was slow: skip this message like any other cancel
      // (its rest is read below), and the run goes on.
      if (WaitInterrupted())
        ErrorFlag = true;
      else
        ConnectionLost();
      break;
    }
    line_taken += taken;
    message.taken += taken;
    bool line_start = message.at_line_start;
    message.at_line_start = complete;
    if (line_start) {
      if (complete && IsEndOfReply(piece)) {
        ended = true;
        break;
      }
      UnstuffLine(piece);
      if (StartsWithLower(piece, "from: "))
        SetStatus(2, piece);
      else if (StartsWithLower(piece, "subject: "))
        SetStatus(3, piece);
    }
    if (message.taken > message.limit) {  // an endless message would fill the disk
      MessageTooLarge(message);
      break;
    }
    if (!file.Append(piece) || (complete && !file.Append("\r\n"))) {
      write_failed = true;
      break;
    }
    if (!complete) {  // a long line: keep the interface alive between its pieces
      Ui().ProcessEvents();
      continue;
    }
    budget -= line_taken;
    if (first_line) budget += 2;
    first_line = false;
    line_taken = 0;
    long done = std::clamp(total - budget, 0L, total);
    int percent = static_cast<int>(std::lround(static_cast<double>(done) * 80.0 / static_cast<double>(total))) + 10;
    CurrentProgress(percent);
  }

  // A message left before its end (cancel, failed write) is read to its end, so that the
  // session stays in step and the next message can follow.
  if (!ended && !session_lost_) DrainMessage(message);
  bool keep = ended && !write_failed && file.Close() && !ErrorFlag;
  if (keep && DeleteAfter) {
    command = "DELE " + std::to_string(number) + "\r\n";
    SetText(command);
    ++deletions_;
    WriteLog(command);
    std::string line;
    // Once the server has answered, QUIT will commit the deletion: the file stays whatever
    // happens now. Without an answer the session is lost and the server keeps the message.
    if (ReadReplyLine(line))
      WriteLog(line);
    else {
      WriteLog(line);
      keep = false;
    }
  }
  if (keep)
    work_files_.push_back(file.path());
  else
    file.Remove();
  if (session_lost_) {
    CurrentProgress(100);
    return 0;
  }
  ErrorFlag = false;
  CurrentProgress(100);
  if (!keep) return 0;
  return announced.size > 0 ? announced.size : std::max<long>(static_cast<long>(file.size()), 1);
}

void TGetMail::GetNewMail(int& received, int& skipped) {
  TotalProgress(0);
  received = 0;
  skipped = 0;
  Ui().ProcessEvents();
  if (CancelAll) return;
  ErrorFlag = false;
  stop_run_ = false;
  CommitWorkFiles();  // an earlier connection's, so that this run counts only its own
  discarded_ = 0;
  int total = GetMailStatus();
  if (total < 0) {  // unreadable count: nothing can be fetched, and that is an error
    total = 0;
    ErrorFlag = true;
  }
  ClearStatus();
  for (int i = 1; i <= total && !CancelAll && LoggedIn && !stop_run_; ++i) {
    SetStatus(0, "Receiving message: " + std::to_string(i) + " of " + std::to_string(total) + " (" +
                     std::to_string(skipped) + " messages skipped).");
    if (GetMailMessage(i) == 0)
      ++skipped;
    else
      ++received;
    TotalProgress(static_cast<int>(static_cast<long long>(i) * 100 / total));
    ClearStatus();
  }
  bool failed = ErrorFlag || session_lost_ || stop_run_;
  if (!DeleteAfter && LoggedIn) ResetStep();
  if (LoggedIn) DoPOPLogout();
  // A connection that was lost still keeps what it stored (the server keeps it too).
  if (!CommitWorkFiles()) failed = true;
  // Messages whose files could not be committed were not stored after all.
  received -= discarded_;
  skipped += discarded_;
  if (failed) ErrorFlag = true;
  TotalProgress(100);
}

}  // namespace corvelle
