// The opening of an SMTP connection: EHLO (HELO when refused), STARTTLS, and AUTH.

#include <algorithm>
#include <cctype>
#include <sstream>

#include "core/settings/security_settings.h"
#include "core/user_interface.h"
#include "net/sasl/oauth_sasl.h"
#include "net/smtp/send_mail.h"
#include "net/sockets/clear_password.h"
#include "net/smtp/smtp_reply.h"
#include "net/smtp/smtp_text.h"

namespace corvelle {
namespace {

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
  return text;
}

// The words of an EHLO keyword line ("AUTH PLAIN LOGIN", the old "AUTH=PLAIN" too).
std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::string text = line;
  std::replace(text.begin(), text.end(), '=', ' ');
  std::istringstream in(text);
  for (std::string word; in >> word;) words.push_back(Upper(word));
  return words;
}

}  // namespace

bool TSendMail::Offers(const std::string& keyword) const {
  const std::string wanted = Upper(keyword);
  return std::any_of(keywords_.begin(), keywords_.end(), [&](const std::string& line) {
    std::vector<std::string> words = Words(line);
    return !words.empty() && words[0] == wanted;
  });
}

bool TSendMail::Greet() {
  keywords_.clear();
  const std::string address = HeloArgument(channel_.LocalAddress());
  // A refusal is no fault yet.
  Reply reply = Command("ehlo " + address, {"250"}, false);
  if (reply == Reply::kLost) return false;
  if (reply == Reply::kRefused) return Command("helo " + address, {"250"}) == Reply::kAccepted;
  // Each line after the first names one extension: "250-STARTTLS", "250 AUTH PLAIN LOGIN".
  std::istringstream lines(last_reply_);
  std::string line;
  for (std::getline(lines, line); std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > 4) keywords_.push_back(line.substr(4));
  }
  return true;
}

bool TSendMail::OpenSession() {
  if (security_ == Security::kStartTls) {
    if (!Offers("STARTTLS")) {
      ShowMessage(ui_, "The mail server " + server_ + " does not offer STARTTLS, so the connection cannot be secured.");
      return false;
    }
    if (Command("STARTTLS", {"220"}) != Reply::kAccepted) {
      if (!reply_lost_) ShowMessage(ui_, "The mail server " + server_ + " could not start a secure connection.");
      return false;
    }
    // After STARTTLS nothing the server said before counts (RFC 3207): greet anew.
    if (!channel_.StartTls() || !Greet()) return false;
  }
  return LogIn();
}

bool TSendMail::LogIn() {
  // The credential is needed no longer than this.
  const Credential credential = std::move(login_);
  login_ = {};
  if (user_.empty() || !Offers("AUTH")) return true;  // the server asks for no login
  if (credential.method == SignInMethod::kOAuth2) return TokenLogIn(credential.secret);
  // Without TLS (the choice "None": the others secure the session or end it first) a
  // password travels only once the user has said so.
  if (!channel_.Secured() && !MaySendPasswordInClear(ui_, choices_, server_, Port))
    return true;  // no login: the server decides whether it takes the mail
  if (SendAuth(user_, credential.secret)) return true;
  if (reply_lost_) return false;
  ShowMessage(ui_, "The mail server " + server_ + " did not accept your user name and password.");
  credentials_.Refused(target_);
  return false;
}

std::vector<std::string> TSendMail::AuthMechanisms() const {
  std::vector<std::string> mechanisms;
  for (const std::string& line : keywords_) {
    std::vector<std::string> words = Words(line);
    if (!words.empty() && words[0] == "AUTH") mechanisms.insert(mechanisms.end(), words.begin() + 1, words.end());
  }
  return mechanisms;
}

bool TSendMail::TokenLogIn(const std::string& token) {
  // A token is as good as the password for as long as it lasts: never in clear, not even
  // with the user's leave.
  if (!channel_.Secured()) {
    ShowMessage(ui_, "No mail was sent to " + server_ +
                         ": the connection is not encrypted, and the sign-in is never sent without encryption. "
                         "Choose SSL/TLS or STARTTLS for the sending server.");
    return false;
  }
  const std::vector<std::string> offered = AuthMechanisms();
  const OAuthMechanism mechanism = ChooseOAuthMechanism(offered);
  if (mechanism == OAuthMechanism::kNone) {
    ShowMessage(ui_, NoOAuthMechanismText(server_, offered, "it offers no sign-in."));
    return false;
  }
  // The initial response goes inline: RFC 4954 lets the AUTH command be as long as it needs.
  const std::string response = Base64Encode(OAuthInitialResponse(mechanism, target_, token));
  Reply reply = Command("AUTH " + std::string(MechanismName(mechanism)) + " " + response, {"235"}, false);
  std::string status;
  if (reply == Reply::kRefused && ReplyAccepted(last_reply_, "334")) {
    // An error challenge: answered, and the server's reply to that is its verdict.
    status = ChallengeStatus(last_reply_.substr(std::min<size_t>(4, last_reply_.size())));
    channel_.Write(OAuthErrorAnswer(mechanism) + "\r\n");  // may be an empty line: no Command
    reply = Answer({"235"}, false);
  }
  if (reply == Reply::kAccepted) return true;
  if (reply_lost_ || !IsConnected()) return false;
  Note("Mail server answered: " + last_reply_);
  ShowMessage(ui_, "The mail server " + server_ + " refused the sign-in: " + OneLine(last_reply_).substr(0, 200) +
                       (status.empty() ? "" : " (status " + status + ")"));
  credentials_.Refused(target_);
  return false;
}

bool TSendMail::SendAuth(const std::string& user, const std::string& password) {
  bool plain = false, login = false;
  for (const std::string& line : keywords_) {
    std::vector<std::string> words = Words(line);
    if (words.empty() || words[0] != "AUTH") continue;
    plain = plain || std::count(words.begin() + 1, words.end(), "PLAIN") > 0;
    login = login || std::count(words.begin() + 1, words.end(), "LOGIN") > 0;
  }
  if (plain) return Command("AUTH PLAIN " + Base64Encode(std::string(1, '\0') + user + '\0' + password), {"235"}) ==
                    Reply::kAccepted;
  if (!login) return true;  // no mechanism this program knows: the server decides
  return Command("AUTH LOGIN", {"334"}) == Reply::kAccepted &&
         Command(Base64Encode(user), {"334"}) == Reply::kAccepted && Command(Base64Encode(password), {"235"}) == Reply::kAccepted;
}

}  // namespace corvelle
