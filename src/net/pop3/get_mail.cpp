#include "net/pop3/get_mail.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
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
// Messages with ids committed together before their DELE: few flushes for many messages.
constexpr size_t kGroupMessages = 1024;
constexpr long long kGroupBytes = 32 << 20;
// A server's reply as a box shows it.
constexpr size_t kReplyShown = 200;
// The most lines a listing of `total` messages may have: its lines, some to spare, and never
// so many that a hostile count would fill the memory.
long long ListingBound(int total) { return std::min<long long>(total, 1000000) + 1000; }

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
  DeleteAfter = !MailSettings.LeaveMailOnServer;
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
  // A Cancel while the reply was awaited: the reply still comes, and the cancel flags say
  // what to do after it. A second Cancel gives the session up.
  if (ReceiveWholeLine(line, kReplyKeep) || (WaitInterrupted() && ReceiveWholeLine(line, kReplyKeep)))
    return Progressing(static_cast<long long>(line.size()) + 2);
  SessionLost(LastReceiveError());
  return false;
}

bool TGetMail::Progressing(long long bytes) {
  window_bytes_ += bytes;
  auto now = std::chrono::steady_clock::now();
  if (now - window_start_ < ProgressInterval) return true;
  if (window_bytes_ < ProgressMinimum) {
    long long ms = ProgressInterval.count();
    Note("Transfer error: the mail server sent only " + std::to_string(window_bytes_) + " bytes in " +
         (ms % 1000 == 0 ? std::to_string(ms / 1000) + " seconds." : std::to_string(ms) + " milliseconds."));
    SessionLost(0);
    return false;
  }
  window_start_ = now;
  window_bytes_ = 0;
  return true;
}

void TGetMail::Send(const std::string& text) {
  // Waiting for the answer starts here: time spent before (a box, a flush) is not the server's.
  window_start_ = std::chrono::steady_clock::now();
  window_bytes_ = 0;
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
  UseTls = MailSecurity(MailSettings) == Security::kTls;
  if (Port.empty()) Port = UseTls ? "995" : "110";
  WriteLog("Connecting to: " + server_ + " " + Port);
  SettleWorkFiles(!DeleteAfter);  // an earlier connection's, which ended without a logout
  session_lost_ = false;
  window_start_ = std::chrono::steady_clock::now();
  window_bytes_ = 0;
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
  EnableUtf8();
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

TGetMail::Commit TGetMail::CommitFiles(const std::vector<WorkFile>& files, size_t& moved, bool& synced,
                                       bool need_ids, bool tidy) {
  moved = 0;
  synced = true;
  std::vector<std::string> paths;
  for (const WorkFile& file : files) paths.push_back(file.path);
  // One flush of many files keeps retrieval fast; only then may a file take the name that
  // says it is complete.
  if (!FlushToDisk(paths)) return Commit::kNotFlushed;
  bool ids = false;
  for (const WorkFile& file : files)
    if (!file.id.empty()) {
      uid_state_.Add(file.id, NamePart(file.path), file.size);
      ids = true;
    }
  // Without the ids on disk a crash in the moves below only costs a second copy later.
  if (ids && !uid_state_.Save()) {
    for (const WorkFile& file : files)
      if (!file.id.empty()) uid_state_.Forget(file.id);
    IdsNotKept("The list of messages already fetched could not be written to " + uid_state_.path() + ".");
    ids = false;
    if (need_ids) return Commit::kIdsNotKept;
  }
  const std::string& spool = SpoolFolder();
  std::uint64_t next = 0;
  while (moved < files.size() && !SpoolWriter::MoveToFreeName(files[moved].path, spool, ".new", next).empty())
    ++moved;
  synced = moved == 0 || SyncPath(spool);
  // A file whose new name is not surely on disk keeps its work name in the ids: the next
  // login finishes its move. Names already settled may stay in the file until `tidy`: the
  // next login sees that their files have moved.
  if (ids && synced && moved > 0) {
    for (size_t i = 0; i < moved; ++i)
      if (!files[i].id.empty()) uid_state_.Settle(files[i].id);
    if (tidy) uid_state_.Save();
  }
  return Commit::kDone;
}

bool TGetMail::SettleWorkFiles(bool commit) {
  std::vector<WorkFile> files = std::move(work_files_);
  work_files_.clear();
  if (files.empty()) return true;
  size_t moved = 0;
  bool synced = true, ok = true;
  if (commit) ok = CommitFiles(files, moved, synced, false, true) == Commit::kDone && moved == files.size() && synced;
  bool forgotten = false;
  for (size_t i = moved; i < files.size(); ++i) {
    RemoveFile(files[i].path);
    ++discarded_;
    // An id recorded for a file that goes would keep its message from ever coming again.
    if (!files[i].id.empty() && uid_state_.Contains(files[i].id)) {
      uid_state_.Forget(files[i].id);
      forgotten = true;
    }
  }
  if (forgotten) uid_state_.Save();
  return ok;
}

bool TGetMail::GroupFull() const {
  size_t count = 0;
  long long bytes = 0;
  for (const WorkFile& file : work_files_)
    if (!file.id.empty()) {
      ++count;
      bytes += file.size;
    }
  return count >= kGroupMessages || bytes >= kGroupBytes;
}

std::vector<int> TGetMail::DeletesDue(int number) {
  if (IdOf(number).empty()) return {number};
  return GroupFull() ? CommitGroup(false) : std::vector<int>{};
}

std::vector<int> TGetMail::CommitGroup(bool last) {
  std::vector<int> numbers;
  std::vector<WorkFile> group, rest;
  for (WorkFile& file : work_files_) (file.id.empty() || !DeleteAfter ? rest : group).push_back(std::move(file));
  work_files_ = std::move(rest);
  if (group.empty()) return numbers;
  size_t moved = 0;
  bool synced = true;
  switch (CommitFiles(group, moved, synced, true, last)) {
    case Commit::kDone:
      // A file left under its work name is complete, flushed and named in the ids: it is safe.
      for (const WorkFile& file : group) numbers.push_back(file.number);
      break;
    case Commit::kIdsNotKept:
      // Back to the rule without ids: work files until QUIT commits their deletion.
      ids_.clear();
      for (WorkFile& file : group) {
        file.id.clear();
        numbers.push_back(file.number);
        work_files_.push_back(std::move(file));
      }
      break;
    case Commit::kNotFlushed:
      Note("The messages stored could not be written to the disk: they stay on the server.");
      for (const WorkFile& file : group) {
        RemoveFile(file.path);
        ++discarded_;
      }
      stop_run_ = true;
      break;
  }
  return numbers;
}

void TGetMail::IdsNotKept(const std::string& why) {
  if (!ids_warned_)
    ShowMessage(why + (DeleteAfter ? " Messages may be fetched twice if a session breaks off."
                                   : " Messages left on the server will be fetched again at the next Get."));
  ids_warned_ = true;
  Note(why);
}

void TGetMail::WriteFailed(int error) {
  if (write_error_ == 0) write_error_ = error;
  stop_run_ = true;
}

bool TGetMail::LoadUniqueIds() {
  ids_.clear();
  uid_state_.Load(UidState::FileFor(mail_directory_, user_, server_));
  bool ok = true;
  uid_state_.Recover(SpoolFolder(), ok);
  if (!ok) Note("Messages fetched before could not be given their names in the Spool folder.");
  return ok;
}

bool TGetMail::ReadListing(const std::function<bool(const std::string&)>& take, long long most) {
  std::string line;
  bool taking = true;
  for (long long lines = 0;; ++lines) {
    if (!ReadReplyLine(line)) return false;
    if (IsEndOfReply(line)) return true;
    if (lines == most) {  // a listing without end: nothing the server says next can be trusted
      Note("Transfer error: the mail server's listing does not end.");
      SessionLost(0);
      return false;
    }
    if (taking) taking = take(line);
  }
}

void TGetMail::ListCapabilities() {
  pipelining_ = false;
  if (Command("CAPA") != Reply::kAccepted) return;
  ReadListing([&](const std::string& line) {
    pipelining_ = pipelining_ || CapabilityLineNames(line, "PIPELINING");
    return true;
  });
}

// UTF8 (RFC 6856) is taken only before login. Without it some servers send a notice in
// place of a message with 8-bit header fields; a refusal changes nothing: the messages
// come as the server has them.
void TGetMail::EnableUtf8() {
  bool offered = false;
  if (Command("CAPA") != Reply::kAccepted || !ReadListing([&](const std::string& line) {
        offered = offered || CapabilityLineNames(line, "UTF8");
        return true;
      }))
    return;
  if (offered) Command("UTF8");
}

bool TGetMail::ListUniqueIds(int total) {
  ids_.clear();
  numbers_.clear();
  if (Command("UIDL") != Reply::kAccepted) return false;
  // Only what the server lists is kept: the count of a hostile STAT reply may be huge.
  std::unordered_map<int, std::string> ids;
  std::unordered_map<std::string, int> uses;
  std::set<int> numbers;
  std::set<std::string> listed;
  bool read = ReadListing(
      [&](const std::string& line) {
        int number = 0;
        std::string id;
        bool named = ParseUidlLine(line, number, id);
        // A line with a number and no usable id still lists its message.
        if (!named && !ParseUidlLine(line.substr(0, line.find(' ')) + " -", number, id)) return true;
        if (number > total) return true;
        if (named) {
          ++uses[id];
          listed.insert(id);
        } else {
          id.clear();
        }
        numbers.insert(number);
        auto [at, fresh] = ids.try_emplace(number, id);
        if (!fresh) at->second.clear();  // a number listed twice: neither line names it
        return true;
      },
      ListingBound(total));
  if (!read) return false;
  int unusable = 0;
  for (int number : numbers) {
    std::string& id = ids[number];
    if (id.empty() || uses[id] != 1) {
      ++unusable;
      continue;
    }
    ids_[number] = id;
  }
  numbers_.assign(numbers.begin(), numbers.end());
  uid_state_.KeepOnly(listed);
  // Without an id a message left on the server comes again at every Get.
  if (unusable > 0 && !DeleteAfter)
    IdsNotKept("The mail server gives " + std::to_string(unusable) + " of its messages no unique id that can be trusted.");
  return true;
}

bool TGetMail::ListMessages(int total) {
  if (Command("LIST") != Reply::kAccepted) return false;
  std::set<int> numbers;
  sizes_.clear();
  bool read = ReadListing(
      [&](const std::string& line) {
        int number = 0;
        std::string size;
        if (ParseUidlLine(line, number, size) && number <= total) {
          numbers.insert(number);
          sizes_[number] = std::atol(size.c_str());
        }
        return true;
      },
      ListingBound(total));
  numbers_.assign(numbers.begin(), numbers.end());
  return read;
}

bool TGetMail::ListMailbox(int total) {
  numbers_.clear();
  sizes_.clear();
  if (total <= 0) return true;
  bool ids = ListUniqueIds(total);
  if (!SessionUsable()) return false;
  if (ids && numbers_.size() == static_cast<size_t>(total)) return true;
  std::vector<int> listed_ids = std::move(numbers_);
  if (ListMessages(total)) return true;
  if (!SessionUsable()) return false;
  if (ids) {
    numbers_ = std::move(listed_ids);
    return true;
  }
  ShowMessage("The mail server does not list its messages: " + reply_.substr(0, kReplyShown));
  return false;
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
  Reply reply = Command("STAT");
  if (reply == Reply::kRefused)
    ShowMessage("The mail server would not count the waiting messages: " + reply_.substr(0, kReplyShown));
  // The login cleared ErrorFlag: a count not given is a failed run, not an empty mailbox.
  ErrorFlag = reply != Reply::kAccepted;
  if (ErrorFlag) return 0;
  int count = StatCount(reply_);
  if (count >= 0) return count;
  ShowMessage("Server protocol error on STAT: " + reply_.substr(0, kReplyShown));
  return -1;
}

void TGetMail::FetchOneByOne(int& received, int& skipped) {
  const int total = static_cast<int>(numbers_.size());
  int done = 0;
  for (int i : numbers_) {
    if (CancelAll || !LoggedIn || stop_run_) break;
    ++done;
    // Stored before: left on the server, or stored by a session whose QUIT never committed.
    if (uid_state_.Contains(IdOf(i))) {
      if (DeleteAfter) DeleteStep(i);
      continue;
    }
    SetStatus(0, "Receiving message: " + std::to_string(i) + " of " + std::to_string(total) + " (" +
                     std::to_string(skipped) + " messages skipped).");
    if (FetchMessage(i, false) == 0) {
      ++skipped;
    } else {
      ++received;
      if (DeleteAfter) DeleteNow(DeletesDue(i), received, skipped);
    }
    TotalProgress(static_cast<int>(static_cast<long long>(done) * 100 / total));
    ClearStatus();
  }
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
  ids_warned_ = false;
  write_error_ = 0;
  numbers_.clear();
  sizes_.clear();
  SettleWorkFiles(!DeleteAfter);  // an earlier connection's, so that this run counts only its own
  discarded_ = 0;
  int total = GetMailStatus();
  // A count that cannot be read leaves nothing to fetch, and that is an error.
  bool failed = ErrorFlag || total < 0;
  if (!failed) {
    ListCapabilities();
    failed = !ListMailbox(total);
  }
  // Messages a server counts and does not list cannot be asked for: told once the session ended.
  const int listed = static_cast<int>(numbers_.size());
  int known = 0;
  for (int number : numbers_) known += uid_state_.Contains(IdOf(number)) ? 1 : 0;
  ClearStatus();
  if (!failed && pipelining_) FetchPipelined(received, skipped);
  if (!failed && !pipelining_) FetchOneByOne(received, skipped);
  // The last group of messages with ids: committed, kept whatever becomes of the session, and
  // deleted while it lasts.
  if (DeleteAfter) DeleteNow(CommitGroup(true), received, skipped);
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
  if (write_error_ != 0) {
    std::string counts = std::to_string(received) + " messages were stored, " +
                         std::to_string(std::max(0, static_cast<int>(numbers_.size()) - known - received)) +
                         " stay on the server.";
    ShowMessage(write_error_ == ENOSPC || write_error_ == EDQUOT
                    ? "The disk is full: " + counts
                    : "Messages could not be written to the Spool folder (" + std::string(std::strerror(write_error_)) +
                          "): " + counts);
  }
  if (!failed && listed < total) {
    ShowMessage("The mail server counted " + std::to_string(total) + " waiting messages but listed only " +
                std::to_string(listed) + ": the others could not be retrieved.");
    ErrorFlag = true;
  }
  TotalProgress(100);
}

}  // namespace corvelle
