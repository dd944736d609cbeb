// TGetMail's start and end of a session: the greeting, securing the connection (CAPA, then
// STLS and the handshake, RFC 2595, before the password goes anywhere), the login, the
// reset, and what a session given up leaves to the run.

#include "core/user_interface.h"
#include "net/pop3/get_mail.h"
#include "net/pop3/pop3_reply.h"
#include "net/pop3/spool_writer.h"
#include "net/sockets/clear_password.h"
#include "platform/tcp_socket.h"

namespace corvelle {
namespace {

// How much of a refusal the notes keep.
constexpr size_t kRefusalShown = 200;

}  // namespace

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

bool TGetMail::SecureSession() {
  if (security_ != Security::kStartTls) return true;
  bool offered = session_.OffersStls();
  if (!session_.Usable()) {
    ShowMessage(ui_, "Transmission error occurred.");
    return false;
  }
  // Without STLS in the list the password would go out in clear: the session ends here.
  if (!offered) {
    ShowMessage(ui_, "The mail server " + server_ + " does not offer STLS, so the connection cannot be secured.");
  } else if (session_.Command("STLS") != Reply::kAccepted) {
    ShowMessage(ui_, "The mail server " + server_ + " could not start a secure connection.");
  } else if (channel_.StartTls()) {
    return true;
  }
  if (IsConnected()) channel_.Close();
  ErrorFlag = true;
  return false;
}

bool TGetMail::Authenticate() {
  // Without TLS (security "None") the password goes out in clear only once the user allowed
  // it for this server.
  if (!channel_.Secured() && !MaySendPasswordInClear(ui_, choices_, server_, port_)) {
    ShowMessage(ui_, "No mail was retrieved from " + server_ + ": the password was not sent without encryption.");
    return false;
  }
  // UTF8 (RFC 6856) is taken only before login. Without it some servers send a notice in
  // place of a message with 8-bit header fields; a refusal changes nothing: the messages
  // come as the server has them.
  if (session_.Offers("UTF8")) session_.Command("UTF8");
  if (!LoginStep("USER " + user_, "Invalid username") ||
      !LoginStep("PASS " + DecodePassword(password_), "Invalid password or another mail session active."))
    return false;
  session_.SetLoggedIn(true);
  // Other work files left by a run that never reached QUIT (a crash, a kill) hold messages
  // the server still has: this session fetches them again.
  if (LoadUniqueIds()) SpoolWriter::RemoveWorkFiles(commit_.Spool());
  return true;
}

bool TGetMail::LoginStep(const std::string& command, const char* refused) {
  Reply reply = session_.Command(command);
  if (reply != Reply::kAccepted)
    ShowMessage(ui_, reply == Reply::kLost ? "Transmission error occurred." : refused);
  // The server's own words say which: a wrong password, a locked mailbox, a disabled
  // account. Only the command's name goes with them, never its argument.
  if (reply == Reply::kRefused)
    Note("The mail server refused " + command.substr(0, command.find(' ')) + ": " +
         session_.LastReply().substr(0, kRefusalShown));
  return reply == Reply::kAccepted;
}

bool TGetMail::ResetStep() {
  if (!session_.Usable()) return false;
  ClearStatus();
  SetStatus(0, "Marking all mail messages as unretrieved...");
  return session_.Command("RSET") == Reply::kAccepted;
}

void TGetMail::SessionLost(int code) {
  // A time-out has been reported by the watchdog, and a cancel is the user's own doing.
  if (code != wsa::kTimedOut && code != wsa::kInterrupted && code != 0) LastError = WinsockErrorText(code);
  if (code != wsa::kInterrupted && code != 0) Note("Transfer error: " + LastError);
  ErrorFlag = true;
}

}  // namespace corvelle
