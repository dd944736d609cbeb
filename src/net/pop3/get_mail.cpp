#include "net/pop3/get_mail.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/accounts/spool_mark.h"
#include "core/user_interface.h"
#include "net/pop3/pop3_reply.h"

namespace corvelle {
namespace {

constexpr size_t kReplyKeep = 64 * 1024;
// A server's reply as a box shows it.
constexpr size_t kReplyShown = 200;

// The spool folder as SpoolCommit takes it: no trailing "/".
std::string SpoolPath(const MailStore& store) {
  std::string spool = store.Spool();
  spool.pop_back();
  return spool;
}

}  // namespace

TGetMail::TGetMail(const TransferContext& context, bool add_to_log)
    : TMailTransfer(context),
      server_(settings_.MailServer),
      user_(settings_.UserName),
      port_(settings_.MailPort),
      security_(SecurityFromText(settings_.Secure.MailSecurity, settings_.MailPort)),
      session_(channel_, log_, [this](const std::string& reason) { Note(reason); },
               [this](int code) { SessionLost(code); }),
      commit_(SpoolPath(store_), SpoolExtension(context.account), disk_flush_, [this](const std::string& why) { IdsNotKept(why); },
              [this] { ui_.ProcessEvents(); }) {
  DeleteAfter = !settings_.LeaveMailOnServer;
  channel_.SetErrorHandler([this](const ChannelError&, const std::string& text) {
    LastError = text;
    ErrorFlag = true;
  });
  if (!add_to_log) log_.Restart();
}

TGetMail::~TGetMail() {
  // Nothing of the interface runs while this object goes.
  commit_.SetBetween({});
  SettleWorkFiles(!DeleteAfter);
}

bool TGetMail::DoPOPLogin() {
  ErrorFlag = false;
  ClearStatus();
  SetStatus(0, AccountShown.empty() ? "Connecting to mail server..."
                                    : "Connecting to the mail server of " + AccountShown + "...");
  const bool tls = security_ == Security::kTls;
  if (port_.empty()) port_ = tls ? "995" : "110";
  WriteLog("Connecting to: " + server_ + " " + port_);
  SettleWorkFiles(!DeleteAfter);  // an earlier connection's, which ended without a logout
  session_.Restart(ProgressInterval, ProgressMinimum);
  next_work_ = 0;
  deletions_ = 0;
  pipelining_ = false;
  commit_.Reconnect();
  // Asked before connecting: a sign-in in the browser keeps no server waiting.
  const LoginTarget target{LoginTarget::Service::kPop3, server_, port_, user_, settings_.Secure.Provider};
  Credential credential;
  if (!TakeCredential(target, credential)) return false;
  if (!channel_.Connect(server_, port_, tls)) {
    ShowMessage(ui_, "Could not connect to host.");
    ErrorFlag = true;  // a run that could not connect is a failed run
    return false;
  }
  bool result = Greeting() && SecureSession();
  if (result && !(result = Authenticate(target, credential))) DoPOPLogout();
  ErrorFlag = !result;
  return result;
}

void TGetMail::DoPOPLogout() {
  bool quit = session_.Usable(), taken_back = false;
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
  session_.SetLoggedIn(false);
  if (!quit) {
    if (IsConnected()) channel_.Close();
    return;
  }
  channel_.Write("QUIT\r\n");
  // The reply says the server has committed; closing before it could abort the commit.
  // Without it, whether the server deleted is unknown: the files stay, and the user is told.
  std::string reply;
  if (!channel_.ReadWholeLine(reply, kReplyKeep)) session_.Lose(channel_.LastReadError().code);
  if (IsConnected()) channel_.Close();
}

int TGetMail::GetMailStatus() {
  ErrorFlag = true;
  if (!session_.LoggedIn() && !DoPOPLogin()) return 0;
  Reply reply = session_.Command("STAT");
  if (reply == Reply::kRefused)
    ShowMessage(ui_, "The mail server would not count the waiting messages: " +
                         session_.LastReply().substr(0, kReplyShown));
  // The login cleared ErrorFlag: a count not given is a failed run, not an empty mailbox.
  ErrorFlag = reply != Reply::kAccepted;
  if (ErrorFlag) return 0;
  int count = StatCount(session_.LastReply());
  if (count >= 0) return count;
  ShowMessage(ui_, "Server protocol error on STAT: " + session_.LastReply().substr(0, kReplyShown));
  return -1;
}

void TGetMail::GetNewMail(int& received, int& skipped) {
  RetrievalResult run = RetrieveAll();
  received = run.received;
  skipped = run.skipped;
}

RetrievalResult TGetMail::RetrieveAll() {
  RetrievalResult run;
  TotalProgress(0);
  ui_.ProcessEvents();
  if (CancelAll) return run;
  StartRun();
  int total = GetMailStatus();
  // A count that cannot be read leaves nothing to fetch, and that is an error.
  bool failed = ErrorFlag || total < 0;
  if (!failed) {
    pipelining_ = session_.Offers("PIPELINING");
    failed = !ListMailbox(total);
  }
  // Messages a server counts and does not list cannot be asked for: told once the session ended.
  const int listed = static_cast<int>(listing_.numbers.size());
  int known = 0;
  for (int number : listing_.numbers) known += commit_.Ids().Contains(IdOf(number)) ? 1 : 0;
  ClearStatus();
  if (!failed) Retrieve(run);
  EndSession(run, failed);
  TellRunEnd(run, failed, total, listed, known);
  run.failed = ErrorFlag;
  run.reasons = Notes();
  TotalProgress(100);
  return run;
}

void TGetMail::StartRun() {
  ForgetNotes();
  ErrorFlag = false;
  stop_run_ = false;
  ids_warned_ = false;
  write_error_ = 0;
  listing_.numbers.clear();
  listing_.sizes.clear();
  SettleWorkFiles(!DeleteAfter);  // an earlier connection's, so that this run counts only its own
  commit_.TakeDiscarded();
}

void TGetMail::EndSession(RetrievalResult& run, bool failed) {
  // The last group of messages with ids: committed, kept whatever becomes of the session, and
  // deleted while it lasts.
  if (DeleteAfter) DeleteNow(CommitGroup(true), run);
  if (session_.LoggedIn()) {
    if (!DeleteAfter) ResetStep();
    // A Cancel pressed between messages is no fault of the session: what was stored commits.
    ErrorFlag = failed;
    DoPOPLogout();
  }
  SettleWorkFiles(!DeleteAfter);  // a session lost before its logout
  // Messages whose files were removed were not received after all.
  int discarded = commit_.TakeDiscarded();
  run.received -= discarded;
  run.skipped += discarded;
  ErrorFlag = failed || ErrorFlag || session_.GivenUp() || stop_run_;
}

void TGetMail::TellRunEnd(const RetrievalResult& run, bool failed, int total, int listed, int known) {
  if (write_error_ != 0) {
    std::string counts = std::to_string(run.received) + " messages were stored, " +
                         std::to_string(std::max(0, listed - known - run.received)) + " stay on the server.";
    ShowMessage(ui_, write_error_ == ENOSPC || write_error_ == EDQUOT
                         ? "The disk is full: " + counts
                         : "Messages could not be written to the Spool folder (" +
                               std::string(std::strerror(write_error_)) + "): " + counts);
  }
  if (!failed && listed < total) {
    ShowMessage(ui_, "The mail server counted " + std::to_string(total) + " waiting messages but listed only " +
                         std::to_string(listed) + ": the others could not be retrieved.");
    ErrorFlag = true;
  }
}

}  // namespace corvelle
