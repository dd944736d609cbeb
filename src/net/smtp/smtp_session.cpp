// The opening of an SMTP connection: EHLO (HELO when refused), STARTTLS, and AUTH.

#include <openssl/evp.h>

#include <algorithm>
#include <cctype>
#include <sstream>

#include "core/settings/security_settings.h"
#include "core/settings/settings.h"  // DecodePassword
#include "core/user_interface.h"
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

std::string Base64(const std::string& bytes) {
  std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                          reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
  out.resize(static_cast<size_t>(std::max(n, 0)));
  return out;
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
  if (user_.empty() || !Offers("AUTH")) return true;  // the server asks for no login
  // Without TLS (the choice "None": the others secure the session or end it first) a
  // password travels only once the user has said so.
  if (!channel_.Secured() && !MaySendPasswordInClear(ui_, choices_, server_, Port))
    return true;  // no login: the server decides whether it takes the mail
  if (SendAuth(user_, DecodePassword(password_))) return true;
  if (!reply_lost_) ShowMessage(ui_, "The mail server " + server_ + " did not accept your user name and password.");
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
  if (plain) return Command("AUTH PLAIN " + Base64(std::string(1, '\0') + user + '\0' + password), {"235"}) ==
                    Reply::kAccepted;
  if (!login) return true;  // no mechanism this program knows: the server decides
  return Command("AUTH LOGIN", {"334"}) == Reply::kAccepted &&
         Command(Base64(user), {"334"}) == Reply::kAccepted && Command(Base64(password), {"235"}) == Reply::kAccepted;
}

}  // namespace corvelle
