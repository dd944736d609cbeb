#pragma once
// What a POP3 or SMTP login is made with: a password, or an OAuth2 access token. A transfer
// asks its Credentials for one before it connects, so a sign-in that takes the user to the
// browser never keeps a connection waiting.

#include <string>

namespace corvelle {

struct Settings;
class UserInterface;

enum class SignInMethod { kPassword, kOAuth2 };
// The texts the settings file and the setup dialog use, in the order of SignInMethod.
inline constexpr const char* kSignInTexts[] = {"Password", "OAuth2"};
const char* SignInText(SignInMethod method);
// "" or an unknown text: a password, as before there was a choice.
SignInMethod SignInFromText(const std::string& text);
// The method in effect for both retrieval and sending under `settings`.
SignInMethod AccountSignIn(const Settings& settings);

struct LoginTarget {
  enum class Service { kPop3, kSmtp };
  Service service = Service::kPop3;
  std::string host, port, user;
  std::string provider = "";  // the account's OAuth2 provider (Secure.Provider); "": none
};

struct Credential {
  SignInMethod method = SignInMethod::kPassword;
  std::string secret;  // the password in clear, or the access token
};

class Credentials {
 public:
  virtual ~Credentials() = default;
  // The credential to log in to `target` with; a sign-in or a question goes through `ui`
  // (the run's: a background check's asks nobody). False when there is none: `why` says so
  // in the user's words (not yet shown), for the run's notes and summary.
  virtual bool Get(UserInterface& ui, const LoginTarget& target, Credential& credential, std::string& why) = 0;
  // The server refused the credential last given for `target`: an access token kept for
  // the run is dropped, so the next Get fetches a new one.
  virtual void Refused(const LoginTarget& target) { (void)target; }
  // A transfer run begins: what the user answered during the last one holds no more (a
  // sign-in declined is asked about again).
  virtual void BeginRun() {}
};

}  // namespace corvelle
