// TGetMail's POP3 session over its line channel: one command and its reply at a time,
// the greeting, the login and the reset, and how a session is given up.

#include <chrono>

#include "core/user_interface.h"
#include "net/pop3/get_mail.h"
#include "net/pop3/pop3_reply.h"
#include "net/pop3/spool_writer.h"
#include "net/sockets/clear_password.h"
#include "platform/tcp_socket.h"

namespace corvelle {
namespace {

constexpr size_t kReplyKeep = 64 * 1024;

}  // namespace

void TGetMail::SessionLost(int code) {
  if (session_lost_) return;
  // A time-out has been reported by the watchdog, and a cancel is the user's own doing.
  if (code != wsa::kTimedOut && code != wsa::kInterrupted && code != 0) LastError = WinsockErrorText(code);
  if (code != wsa::kInterrupted && code != 0) Note("Transfer error: " + LastError);
  ErrorFlag = true;
  LoggedIn = false;
  session_lost_ = true;
  if (IsConnected()) channel_.Close();
}

bool TGetMail::WaitInterrupted() const { return channel_.LastReadError().code == wsa::kInterrupted && SessionUsable(); }

bool TGetMail::ReadReplyLine(std::string& line) {
  line.clear();
  if (!SessionUsable()) return false;
  // A Cancel while the reply was awaited: the reply still comes, and the cancel flags say
  // what to do after it. A second Cancel gives the session up.
  if (channel_.ReadWholeLine(line, kReplyKeep) || (WaitInterrupted() && channel_.ReadWholeLine(line, kReplyKeep)))
    return Progressing(static_cast<long long>(line.size()) + 2);
  SessionLost(channel_.LastReadError().code);
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
  channel_.Write(command);
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

bool TGetMail::Greeting() {
  bool good = false;
  if (!ErrorFlag) {
    ui_.ProcessEvents();
    std::string reply;
    good = channel_.ReadReply(reply) && IsPositiveReply(reply);
    WriteLog("> " + reply);
  }
  if (good && !ErrorFlag) return true;
  ShowMessage(ui_, good ? "Transmission error occurred." : "POP server did not return greeting status OK.");
  if (IsConnected()) channel_.Close();  // the server refused us: nothing to end politely
  return false;
}

bool TGetMail::Authenticate() {
  // Without TLS (security "None") the password goes out in clear only once the user allowed
  // it for this server.
  if (!channel_.Secured() && !MaySendPasswordInClear(server_, port_)) {
    ShowMessage(ui_, "No mail was retrieved from " + server_ + ": the password was not sent without encryption.");
    return false;
  }
  EnableUtf8();
  if (!LoginStep("USER " + user_, "Invalid username") ||
      !LoginStep("PASS " + DecodePassword(password_), "Invalid password or another mail session active."))
    return false;
  LoggedIn = true;
  // Other work files left by a run that never reached QUIT (a crash, a kill) hold messages
  // the server still has: this session fetches them again.
  if (LoadUniqueIds()) SpoolWriter::RemoveWorkFiles(commit_.Spool());
  return true;
}

bool TGetMail::LoginStep(const std::string& command, const char* refused) {
  Reply reply = Command(command);
  if (reply != Reply::kAccepted) ShowMessage(ui_, reply == Reply::kLost ? "Transmission error occurred." : refused);
  return reply == Reply::kAccepted;
}

bool TGetMail::ResetStep() {
  if (!SessionUsable()) return false;
  ClearStatus();
  SetStatus(0, "Marking all mail messages as unretrieved...");
  return Command("RSET") == Reply::kAccepted;
}

}  // namespace corvelle
