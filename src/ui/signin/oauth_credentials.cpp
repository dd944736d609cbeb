#include "ui/signin/oauth_credentials.h"

#include <QHostAddress>
#include <QUrl>

#include "core/signin/secret_store.h"
#include "core/user_interface.h"
#include "net/transfer/titled_interface.h"
#include "ui/newmail/quiet_interface.h"
#include "ui/signin/browser_wait_notice.h"
#include "ui/signin/oauth_flow.h"
#include "ui/signin/oauth_wait.h"

namespace corvelle {
namespace {

constexpr auto kMinimumLife = std::chrono::minutes(1);  // a token about to expire is renewed first
constexpr int kWaitSlackMs = 5000;  // past the request's own time-out, in case it never ends

std::string Minutes(int ms) {
  const int minutes = ms / 60000;
  return minutes >= 1 ? std::to_string(minutes) + (minutes == 1 ? " minute" : " minutes")
                      : std::to_string(ms / 1000) + " seconds";
}

// An address the sign-in may use: HTTPS, or plain HTTP to this machine only.
bool SafeAddress(const std::string& text) {
  const QUrl url(QString::fromStdString(text));
  if (!url.isValid() || url.host().isEmpty()) return false;
  if (url.scheme() == "https") return true;
  return url.scheme() == "http" && QHostAddress(url.host()).isLoopback();
}

bool SafeEndpoints(const OAuthAccount& account, std::string& why) {
  for (const std::string* address : {&account.endpoints.authorize_url, &account.endpoints.token_url}) {
    if (SafeAddress(*address)) continue;
    why = "The sign-in address of " + account.provider + " is not a secure (https) address: \"" + *address + "\".";
    return false;
  }
  return true;
}

// Nobody is there to sign in: a background check, or a component given no interface (seen
// through the title an identity's sending puts on its boxes).
bool Unattended(UserInterface& ui) {
  if (auto* titled = dynamic_cast<TitledInterface*>(&ui)) return Unattended(titled->Inner());
  return dynamic_cast<QuietInterface*>(&ui) != nullptr || dynamic_cast<SilentUserInterface*>(&ui) != nullptr;
}

}  // namespace

OAuthCredentials::OAuthCredentials(OAuthAccountSource account, SecretStore* secrets, UrlOpener open_browser,
                                   OAuthLimits limits)
    : account_(std::move(account)), secrets_(secrets), open_browser_(std::move(open_browser)), limits_(limits) {}

OAuthCredentials::~OAuthCredentials() = default;

bool OAuthCredentials::Get(UserInterface& ui, const LoginTarget& target, Credential& credential, std::string& why) {
  OAuthAccount account;
  if (!account_(target.provider, account, why) || !SafeEndpoints(account, why)) return false;
  const std::string key = "oauth2 " + target.user + "@" + account.provider;
  if (auto declined = declined_.find(key); declined != declined_.end()) {
    why = declined->second;
    return false;
  }
  const std::string whose = account.provider + " for " + target.user;
  cancelled_ = false;
  if (Fresh(key)) {
    credential = {SignInMethod::kOAuth2, held_[key].access_token};
    return true;
  }
  TokenReply reply;
  const std::string refresh_token = StoredRefreshToken(key);
  if (!refresh_token.empty()) reply = Refresh(ui, account, refresh_token);
  if (!reply.ok && reply.grant_refused) {
    // The refresh token is dead whatever the user answers.
    ForgetRefreshToken(key);
    const std::string invalid = "The sign-in to " + whose + " is no longer valid (" + reply.why + ").";
    if (Ask(ui, invalid + " Sign in again in your browser?", "Sign-in", Buttons::YesNo) != Answer::Yes) {
      why = declined_[key] = invalid + " Sign in again to get or send mail.";
      return false;
    }
  }
  if (refresh_token.empty() || reply.grant_refused) {
    if (Unattended(ui)) {
      why = "Signing in to " + whose + " needs your browser: get or send mail yourself to sign in.";
      return false;
    }
    reply = SignInInBrowser(ui, account, target.user);
    // Cancelled, timed out or refused: the other half of the run does not go back to the browser.
    if (!reply.ok) declined_[key] = "Signing in to " + whose + " failed: " + reply.why + ".";
  }
  if (!reply.ok) {
    why = "Signing in to " + whose + " failed: " + reply.why + ".";
    return false;
  }
  Keep(ui, key, account.provider, reply);
  credential = {SignInMethod::kOAuth2, reply.access_token};
  return true;
}

void OAuthCredentials::Refused(const LoginTarget& target) {
  OAuthAccount account;
  std::string why;
  if (account_(target.provider, account, why)) held_.erase("oauth2 " + target.user + "@" + account.provider);
}

bool OAuthCredentials::Fresh(const std::string& key) const {
  auto found = held_.find(key);
  if (found == held_.end()) return false;
  return !found->second.expires || found->second.until - Clock::now() >= kMinimumLife;
}

std::string OAuthCredentials::StoredRefreshToken(const std::string& key) {
  auto found = refresh_in_memory_.find(key);
  if (found != refresh_in_memory_.end()) return found->second;
  std::string token;
  if (secrets_ && secrets_->Read(key, token) == SecretStore::Result::kDone) return token;
  return "";
}

void OAuthCredentials::ForgetRefreshToken(const std::string& key) {
  refresh_in_memory_.erase(key);
  if (secrets_) secrets_->Remove(key);
}

void OAuthCredentials::Keep(UserInterface& ui, const std::string& key, const std::string& provider,
                            const TokenReply& reply) {
  Held& held = held_[key];
  held.access_token = reply.access_token;
  held.expires = reply.expires_in > 0;
  held.until = Clock::now() + std::chrono::seconds(reply.expires_in);
  if (reply.refresh_token.empty()) return;  // the server keeps the one it gave before
  // A rotated refresh token replaces the old one at once: the old one may be dead already.
  if (secrets_ && secrets_->Write(key, reply.refresh_token) == SecretStore::Result::kDone) {
    refresh_in_memory_.erase(key);
    return;
  }
  refresh_in_memory_[key] = reply.refresh_token;
  if (!secrets_ || told_no_keyring_) return;
  told_no_keyring_ = true;
  ShowMessage(ui, "The sign-in to " + provider +
                      " could not be kept in the system keyring: it holds for this run only, and you will be "
                      "asked to sign in again next time.");
}

TokenReply OAuthCredentials::Refresh(UserInterface& ui, const OAuthAccount& account, const std::string& refresh_token) {
  OAuthFlow flow(account.endpoints, limits_.request_ms);
  flow.Refresh(refresh_token);
  return Await(ui, flow, limits_.request_ms + kWaitSlackMs, "the server did not answer in time");
}

TokenReply OAuthCredentials::SignInInBrowser(UserInterface& ui, const OAuthAccount& account, const std::string& user) {
  // The last sign-in's flow goes now: its page has long reached the browser.
  last_browser_flow_ = std::make_unique<OAuthFlow>(account.endpoints, limits_.request_ms);
  OAuthFlow& flow = *last_browser_flow_;
  QUrl address;
  bool opened = false;
  std::string why;
  if (!flow.StartBrowser([&](const QUrl& url) { address = url, opened = open_browser_(url); }, user, why))
    return flow.Result();
  BrowserWaitNotice notice(address, opened, secrets_ != nullptr, cancelled_);
  TokenReply reply = Await(ui, flow, limits_.browser_ms,
                           "the sign-in in the browser was not finished within " + Minutes(limits_.browser_ms));
  flow.StopListening();
  return reply;
}

TokenReply OAuthCredentials::Await(UserInterface& ui, OAuthFlow& flow, int limit_ms, const std::string& late) {
  switch (WaitUntil(ui, [&flow] { return flow.Finished(); }, cancelled_, limit_ms)) {
    case WaitEnd::kDone: return flow.Result();
    case WaitEnd::kCancelled: return FailedTokenReply("the sign-in was cancelled");
    case WaitEnd::kTimedOut: break;
  }
  return FailedTokenReply(late);
}

}  // namespace corvelle
