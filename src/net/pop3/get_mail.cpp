#include "net/pop3/get_mail.h"

#include <set>

#include "core/settings/security_settings.h"
#include "core/settings/settings.h"
#include "core/user_interface.h"
#include "net/pop3/pop3_reply.h"
#include "net/pop3/spool_writer.h"
#include "net/sockets/clear_password.h"
#include "platform/disk_sync.h"
#include "platform/paths.h"
#include "platform/tcp_socket.h"

namespace corvelle {
namespace {

constexpr size_t kReplyKeep = 64 * 1024;

DiskFlush& InstalledFlush() {
  static DiskFlush flush;
  return flush;
}

bool FlushToDisk(const std::vector<std::string>& files) {
  return InstalledFlush() ? InstalledFlush()(files) : SyncFiles(files);
}

}  // namespace

void SetDiskFlush(DiskFlush flush) { InstalledFlush() = std::move(flush); }

TGetMail::TGetMail()
    : server_(MailSettings.MailServer), user_(MailSettings.UserName), password_(MailSettings.PassWord) {
  Port = MailSettings.MailPort;
  DeleteAfter = !MailSettings.LeaveMailOnServer.empty() && MailSettings.LeaveMailOnServer[0] == '0';
  OnErrorOccurred = [this](TSockets& sender, int socket, int error, const std::string& msg) {
    MailError(sender, socket, error, msg);
  };
  OnDataAvailable = [this](TSockets& sender, int socket) { DataReady(sender, socket); };
  log_.Restart();
}

TGetMail::~TGetMail() { SettleWorkFiles(!DeleteAfter); }

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
  if (spool_.empty()) spool_ = ResolvePath(mail_directory_ + "Spool");
  return spool_;
}

// ---- the connection ---------------------------------------------------------------------

void TGetMail::SessionLost(int code) {
  if (session_lost_) return;
  // A time-out has been reported by the watchdog, and a cancel is the user's own doing.
  if (code != wsa::kTimedOut && code != wsa::kInterrupted && code != 0) LastError = ErrorText(code);
  if (code != wsa::kInterrupted && code != 0) Note("Transfer error: " + LastError);
  ErrorFlag = true;
  LoggedIn = false;
  session_lost_ = true;
  if (IsConnected()) Disconnect();
}

bool TGetMail::WaitInterrupted() const { return LastReceiveError() == wsa::kInterrupted && SessionUsable(); }

bool TGetMail::ReadReplyLine(std::string& line) {
  line.clear();
  if (!SessionUsable()) return false;
  if (ReceiveWholeLine(line, kReplyKeep)) return true;
  // A Cancel while the reply was awaited: the reply still comes, and the cancel flags say
  // what to do after it. A second Cancel gives the session up.
  if (WaitInterrupted() && ReceiveWholeLine(line, kReplyKeep)) return true;
  SessionLost(LastReceiveError());
  return false;
}

void TGetMail::Send(const std::string& text) {
  const std::string command = text + "\r\n";
  SetText(command);
  // The lines of the login are marked "<" and ">" in the log; the password never goes there.
  if (!text.starts_with("PASS ")) WriteLog((LoggedIn ? "" : "< ") + command);
}

TGetMail::Reply TGetMail::Await(std::string_view expect) {
  bool read = ReadReplyLine(reply_);
  WriteLog((LoggedIn ? "" : "> ") + reply_);
  if (!read) return Reply::kLost;
  return reply_.starts_with(expect) ? Reply::kAccepted : Reply::kRefused;
}

TGetMail::Reply TGetMail::Command(const std::string& text, std::string_view expect) {
  if (!SessionUsable()) return Reply::kLost;
  Send(text);
  return Await(expect);
}

bool TGetMail::DoPOPLogin() {
  DataIsReady = false;
  ErrorFlag = false;
  ClearStatus();
  SetStatus(0, "Connecting to mail server...");
  SetNonBlocking(false);
  IPAddr = server_;
  UseTls = MailSecurity() == Security::kTls;
  if (Port.empty()) Port = UseTls ? "995" : "110";
  WriteLog("Connecting to: " + server_ + " " + Port);
  SettleWorkFiles(!DeleteAfter);  // an earlier connection's, which ended without a logout
  session_lost_ = false;
  next_work_ = 0;
  deletions_ = 0;
  pipelining_ = false;
  spool_.clear();
  SConnect();
  if (Socket == -1) {
    ShowMessage("Could not connect to host.");
    ErrorFlag = true;  // a run that could not connect is a failed run
    return false;
  }
  bool result = Greeting() && SecureSession();
  if (result && !(result = Authenticate())) DoPOPLogout();
  ErrorFlag = !result;
  return result;
}

bool TGetMail::Greeting() {
  bool good = false;
  if (!ErrorFlag) {
    Ui().ProcessEvents();
    std::string reply;
    good = ReceiveReply(Socket, reply) && IsPositiveReply(reply);
    WriteLog("> " + reply);
  }
  if (good && !ErrorFlag) return true;
  ShowMessage(good ? "Transmission error occurred." : "POP server did not return greeting status OK.");
  if (IsConnected()) Disconnect();  // the server refused us: nothing to end politely
  return false;
}

bool TGetMail::Authenticate() {
  // Without TLS (security "None") the password goes out in clear only once the user allowed
  // it for this server.
  if (!Secured() && !MaySendPasswordInClear(server_, Port)) {
    ShowMessage("No mail was retrieved from " + server_ + ": the password was not sent without encryption.");
    return false;
  }
  if (!LoginStep("USER " + user_, "Invalid username") ||
      !LoginStep("PASS " + DecodePassword(password_), "Invalid password or another mail session active."))
    return false;
  LoggedIn = true;
  // Other work files left by a run that never reached QUIT (a crash, a kill) hold messages
  // the server still has: this session fetches them again.
  if (LoadUniqueIds()) SpoolWriter::RemoveWorkFiles(SpoolFolder());
  return true;
}

bool TGetMail::LoginStep(const std::string& command, const char* refused) {
  Reply reply = Command(command);
  if (reply != Reply::kAccepted) ShowMessage(reply == Reply::kLost ? "Transmission error occurred." : refused);
  return reply == Reply::kAccepted;
}

bool TGetMail::ResetStep() {
  if (!SessionUsable()) return false;
  ClearStatus();
  SetStatus(0, "Marking all mail messages as unretrieved...");
  return Command("RSET") == Reply::kAccepted;
}

bool TGetMail::DeleteStep(int number) {
  ++deletions_;
  Reply reply = Command("DELE " + std::to_string(number));
  // The server keeps the message, so its file goes and the next Get brings it.
  if (reply == Reply::kRefused) Note("Message " + std::to_string(number) + " stays on the server: " + reply_);
  return reply == Reply::kAccepted;
}

bool TGetMail::SettleWorkFiles(bool commit) {
  std::vector<WorkFile> files = std::move(work_files_);
  work_files_.clear();
  if (files.empty()) return true;
  const std::string& spool = SpoolFolder();
  size_t moved = 0;
  bool ok = true;
  std::vector<std::string> paths;
  for (const WorkFile& file : files) paths.push_back(file.path);
  // One flush of this connection's files keeps retrieval fast; only then may a file take the
  // name that says it is complete.
  if (commit && (ok = FlushToDisk(paths))) {
    bool ids = false;
    for (const WorkFile& file : files)
      if (!file.id.empty()) {
        uid_state_.Add(file.id, NamePart(file.path), file.size);
        ids = true;
      }
    // Without the ids on disk a crash in the moves below only costs a second copy later.
    if (ids && !uid_state_.Save()) Note("The list of messages already fetched could not be written.");
    std::uint64_t next = 0;
    while (moved < files.size() && !SpoolWriter::MoveToFreeName(files[moved].path, spool, ".new", next).empty())
      ++moved;
    ok = moved == files.size();
    if (moved > 0 && !SyncPath(spool)) ok = false;
    if (ids && ok) {
      uid_state_.SettleWorkNames();
      uid_state_.Save();
    }
  }
  for (size_t i = moved; i < files.size(); ++i) {
    RemoveFile(files[i].path);
    ++discarded_;
  }
  return ok;
}

bool TGetMail::LoadUniqueIds() {
  ids_.clear();
  uid_state_.Load(UidState::FileFor(mail_directory_, user_, server_));
  bool ok = true;
  uid_state_.Recover(SpoolFolder(), ok);
  if (!ok) Note("Messages fetched before could not be given their names in the Spool folder.");
  return ok;
}

bool TGetMail::ReadListing(const std::function<bool(const std::string&)>& take) {
  std::string line;
  bool taking = true;
  for (;;) {
    if (!ReadReplyLine(line)) return false;
    if (IsEndOfReply(line)) return true;
    if (taking) taking = take(line);
  }
}

void TGetMail::ListCapabilities() {
  pipelining_ = false;
  if (Command("CAPA") != Reply::kAccepted) return;
  ReadListing([this](const std::string& line) {
    pipelining_ = pipelining_ || CapabilityLineNames(line, "PIPELINING");
    return true;
  });
}

void TGetMail::ListUniqueIds(int total) {
  ids_.clear();
  if (total < 0 || Command("UIDL") != Reply::kAccepted) return;
  // Only what the server lists is kept: the count of a hostile STAT reply may be huge.
  std::unordered_map<int, std::string> ids;
  std::set<std::string> listed;
  bool usable = true;
  bool read = ReadListing([&](const std::string& line) {
    int number = 0;
    std::string id;
    usable = ParseUidlLine(line, number, id) && number <= total && !ids.contains(number) && listed.insert(id).second;
    if (usable) ids[number] = std::move(id);
    return usable;
  });
  if (!read) return;
  if (!usable) {
    Note("The server's list of unique ids cannot be used: every message is fetched.");
    return;
  }
  ids_ = std::move(ids);
  uid_state_.KeepOnly(listed);
}

const std::string& TGetMail::IdOf(int number) const {
  static const std::string none;
  auto id = ids_.find(number);
  return id == ids_.end() ? none : id->second;
}

void TGetMail::DoPOPLogout() {
  bool quit = SessionUsable(), taken_back = false;
  if (quit && ErrorFlag) {
    taken_back = ResetStep();
    // Deletions that could not be taken back must not be committed: no QUIT.
    if (!taken_back && deletions_ > 0) quit = false;
  }
  // What the server will delete must be complete, on disk and under its final name before
  // QUIT. Without QUIT, or after RSET, the server keeps the messages, and so not their files.
  bool keep = !DeleteAfter || (quit && !taken_back);
  if (!SettleWorkFiles(keep)) {
    quit = false;
    ErrorFlag = true;
  }
  ClearStatus();
  SetStatus(0, "Disconnecting from mail server...");
  WriteLog("QUIT");
  LoggedIn = false;
  if (!quit) {
    if (IsConnected()) Disconnect();
    return;
  }
  SetText("QUIT\r\n");
  // The reply says the server has committed; closing before it could abort the commit.
  // Without it, whether the server deleted is unknown: the files stay, and the user is told.
  std::string reply;
  if (!ReceiveWholeLine(reply, kReplyKeep)) SessionLost(LastReceiveError());
  if (IsConnected()) Disconnect();
}

int TGetMail::GetMailStatus() {
  ErrorFlag = true;
  if (!LoggedIn && !DoPOPLogin()) return 0;
  if (Command("STAT") != Reply::kAccepted) return 0;
  ErrorFlag = false;
  int count = StatCount(reply_);
  if (count == -1) ShowMessage("Server protocol error on STAT");
  return count;
}

void TGetMail::GetNewMail(int& received, int& skipped) {
  TotalProgress(0);
  received = 0;
  skipped = 0;
  Ui().ProcessEvents();
  if (CancelAll) return;
  ForgetNotes();
  ErrorFlag = false;
  stop_run_ = false;
  SettleWorkFiles(!DeleteAfter);  // an earlier connection's, so that this run counts only its own
  discarded_ = 0;
  int total = GetMailStatus();
  // A count that cannot be read leaves nothing to fetch, and that is an error.
  bool failed = ErrorFlag || total < 0;
  if (!failed) {
    ListCapabilities();
    ListUniqueIds(total);
  }
  ClearStatus();
  if (pipelining_ && total > 0) FetchPipelined(total, received, skipped);
  for (int i = 1; i <= total && !pipelining_ && !CancelAll && LoggedIn && !stop_run_; ++i) {
    // Stored before: left on the server, or stored by a session whose QUIT never committed.
    if (uid_state_.Contains(IdOf(i))) {
      if (DeleteAfter) DeleteStep(i);
      continue;
    }
    SetStatus(0, "Receiving message: " + std::to_string(i) + " of " + std::to_string(total) + " (" +
                     std::to_string(skipped) + " messages skipped).");
    if (GetMailMessage(i) == 0)
      ++skipped;
    else
      ++received;
    TotalProgress(static_cast<int>(static_cast<long long>(i) * 100 / total));
    ClearStatus();
  }
  if (LoggedIn) {
    if (!DeleteAfter) ResetStep();
    // A Cancel pressed between messages is no fault of the session: what was stored commits.
    ErrorFlag = failed;
    DoPOPLogout();
  }
  SettleWorkFiles(!DeleteAfter);  // a session lost before its logout
  // Messages whose files were removed were not received after all.
  received -= discarded_;
  skipped += discarded_;
  ErrorFlag = failed || ErrorFlag || session_lost_ || stop_run_;
  TotalProgress(100);
}

}  // namespace corvelle
