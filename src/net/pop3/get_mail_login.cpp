// TGetMail's start and end of a session: the greeting, securing the connection (CAPA, then
// STLS and the handshake, RFC 2595, before the password goes anywhere), the login with a
// password (USER, PASS) or a token (AUTH, RFC 5034), the reset, and what a session given up
// leaves to the run.

#include <sstream>

#include "core/user_interface.h"
#include "net/pop3/get_mail.h"
#include "net/pop3/pop3_reply.h"
#include "net/pop3/spool_writer.h"
#include "net/sasl/oauth_sasl.h"
#include "net/sockets/clear_password.h"
#include "platform/tcp_socket.h"

namespace corvelle {
namespace {

// How much of a refusal the notes keep.
constexpr size_t kRefusalShown = 200;

// The words of a capability's arguments ("PLAIN OAUTHBEARER").
std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

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

bool TGetMail::Authenticate(const LoginTarget& target, const Credential& credential) {
  const bool oauth = credential.method == SignInMethod::kOAuth2;
  if (!(oauth ? TokenLogin(target, credential.secret) : PasswordLogin(target, credential.secret))) return false;
  session_.SetLoggedIn(true);
  // Other work files left by a run that never reached QUIT (a crash, a kill) hold messages
  // the server still has: this session fetches them again. Those another account's ids name
  // are that account's to settle.
  if (LoadUniqueIds())
    SpoolWriter::RemoveWorkFiles(commit_.Spool(), UidState::WorkNamesOfOthers(store_.Root(), commit_.Ids().path()));
  return true;
}

bool TGetMail::PasswordLogin(const LoginTarget& target, const std::string& password) {
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
  if (!LoginStep("USER " + user_, "Invalid username")) return false;
  if (LoginStep("PASS " + password, "Invalid password or another mail session active.")) return true;
  if (session_.Usable()) credentials_.Refused(target);
  return false;
}

bool TGetMail::TokenLogin(const LoginTarget& target, const std::string& token) {
  // A token is as good as the password for as long as it lasts: never in clear, not even
  // with the user's leave.
  if (!channel_.Secured()) {
    ShowMessage(ui_, "No mail was retrieved from " + server_ +
                         ": the connection is not encrypted, and the sign-in is never sent without encryption. "
                         "Choose SSL/TLS or STARTTLS for the mail server.");
    return false;
  }
  std::vector<std::string> offered;
  bool utf8 = false;
  for (const std::string& line : session_.Capabilities()) {
    utf8 = utf8 || CapabilityLineNames(line, "UTF8");
    if (CapabilityLineNames(line, "SASL")) offered = Words(line.substr(4));
  }
  const OAuthMechanism mechanism = ChooseOAuthMechanism(offered);
  if (mechanism == OAuthMechanism::kNone) {
    if (session_.Usable())
      ShowMessage(ui_, NoOAuthMechanismText(server_, offered, "it offers no SASL sign-in."));
    else
      ShowMessage(ui_, "Transmission error occurred.");
    return false;
  }
  if (utf8) session_.Command("UTF8");  // as for a password, before the login
  std::string challenge;
  Reply reply = session_.Authenticate(MechanismName(mechanism), OAuthInitialResponse(mechanism, target, token),
                                      OAuthErrorAnswer(mechanism), challenge);
  if (reply == Reply::kAccepted) return true;
  if (reply == Reply::kLost) {
    ShowMessage(ui_, "Transmission error occurred.");
    return false;
  }
  TokenRefused(target, ChallengeStatus(challenge));
  return false;
}

void TGetMail::TokenRefused(const LoginTarget& target, const std::string& status) {
  const std::string words = session_.LastReply().substr(0, kRefusalShown);
  ShowMessage(ui_, "The mail server " + server_ + " refused the sign-in: " + words +
                       (status.empty() ? "" : " (status " + status + ")"));
  Note("The mail server refused AUTH: " + words);
  credentials_.Refused(target);
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
  log_.Flush();
}

}  // namespace corvelle
