#include "ui/signin/oauth_flow.h"

#include <QLoggingCategory>
#include <QOAuth2AuthorizationCodeFlow>
#include <QOAuthHttpServerReplyHandler>
#include <QOAuthOobReplyHandler>

#include "core/user_interface.h"
#include "ui/signin/oauth_pkce.h"
#include "ui/signin/oauth_token_access.h"
#include "ui/signin/oauth_wait.h"

namespace corvelle {
namespace {

using Stage = QAbstractOAuth::Stage;

constexpr int kAnswerSlackMs = 2000;  // past the token request's own time-out

QString Text(const std::string& text) { return QString::fromStdString(text); }

// Qt puts parameter values into the request body as they are, keeping what is
// percent-encoded: each value is encoded here exactly once, so a '+' or '/' in a code or
// token reaches the server as it was given.
QVariant Encoded(const QString& value) { return QUrl::toPercentEncoding(value); }

// The code as the server sent it. Qt 6.4's listener leaves a '/', '+' or '%' of the code
// percent-encoded, and Qt encodes what it read once more: both are undone here, so the
// browser's code is decoded exactly once.
QString AsSent(const QVariant& parameter) {
  const QString as_read = QUrl::fromPercentEncoding(parameter.toByteArray());
  return QUrl::fromPercentEncoding(as_read.toUtf8());
}

QLoggingCategory::CategoryFilter previous_filter = nullptr;

// Qt's reply handler logs what it could not read, a token endpoint's answer included; this
// flow reports every failure itself, in the user's words and without the answer.
void QuietReplyHandler(QLoggingCategory* category) {
  if (previous_filter) previous_filter(category);
  if (qstrcmp(category->categoryName(), "qt.networkauth.replyhandler") == 0) category->setEnabled(QtWarningMsg, false);
}

QString Page(const QString& title, const QString& text) {
  return "<h1>" + title + "</h1><p>" + text.toHtmlEscaped() + "</p>";
}

// What the browser's address says, decoded once ('+' as a space, as a form sends it).
std::string BrowserWords(const QVariant& value) {
  QByteArray bytes = value.toString().toUtf8().replace('+', ' ');
  return ServerWords(QUrl::fromPercentEncoding(bytes));
}

}  // namespace

OAuthFlow::OAuthFlow(const OAuthEndpoints& endpoints, int request_timeout_ms)
    : endpoints_(endpoints),
      request_timeout_ms_(request_timeout_ms),
      access_(std::make_unique<OAuthTokenAccess>(request_timeout_ms, [this](const TokenReply& reply) { End(reply); })),
      flow_(std::make_unique<QOAuth2AuthorizationCodeFlow>(Text(endpoints.client_id),
                                                           QUrl(Text(endpoints.authorize_url)),
                                                           QUrl(Text(endpoints.token_url)), access_.get())) {
  static const bool quiet = (previous_filter = QLoggingCategory::installFilter(QuietReplyHandler), true);
  (void)quiet;
  flow_->setScope(Text(endpoints.scope));
  flow_->setModifyParametersFunction([this](Stage stage, QMultiMap<QString, QVariant>* parameters) {
    ModifyParameters(static_cast<int>(stage), parameters);
  });
}

OAuthFlow::~OAuthFlow() = default;

void OAuthFlow::ModifyParameters(int stage, QMultiMap<QString, QVariant>* parameters) {
  switch (static_cast<Stage>(stage)) {
    case Stage::RequestingAuthorization:
      parameters->replace("code_challenge", CodeChallenge(verifier_));
      parameters->replace("code_challenge_method", "S256");
      if (!login_hint_.isEmpty()) parameters->replace("login_hint", login_hint_);
      return;
    case Stage::RequestingAccessToken:
      parameters->replace("code", Encoded(AsSent(parameters->value("code"))));
      parameters->replace("code_verifier", verifier_);
      break;
    case Stage::RefreshingAccessToken:
      parameters->replace("refresh_token", Encoded(refresh_token_));
      parameters->replace("client_id", Encoded(Text(endpoints_.client_id)));
      parameters->remove("redirect_uri");
      break;
    default: return;
  }
  parameters->remove("client_secret");
  if (!endpoints_.client_secret.empty()) parameters->insert("client_secret", Encoded(Text(endpoints_.client_secret)));
}

void OAuthFlow::Refresh(const std::string& refresh_token) {
  // Qt 6.4 reads the answer through the flow's reply handler, which it does not make itself.
  flow_->setReplyHandler(new QOAuthOobReplyHandler(flow_.get()));
  refresh_token_ = Text(refresh_token);
  flow_->setRefreshToken(refresh_token_);
  flow_->refreshAccessToken();
}

bool OAuthFlow::StartBrowser(const std::function<void(const QUrl&)>& open, const std::string& login_hint,
                             std::string& why) {
  // Given the address at once: the handler's other constructors listen on every interface.
  listener_ = new QOAuthHttpServerReplyHandler(QHostAddress::LocalHost, 0, flow_.get());
  if (!listener_->isListening()) {
    why = "no port on 127.0.0.1 could be opened for the browser's answer";
    End(FailedTokenReply(why));
    return false;
  }
  flow_->setReplyHandler(listener_);
  login_hint_ = Text(login_hint);
  state_ = RandomUrlText(16);
  verifier_ = RandomUrlText();
  flow_->setState(QString::fromLatin1(state_));
  connect(flow_.get(), &QAbstractOAuth::authorizeWithBrowser, this, [open](const QUrl& address) { open(address); });
  flow_->grant();
  // Connected after the flow's own handling (made by grant), which checks the state too and
  // asks for the token at once.
  connect(listener_, &QOAuthHttpServerReplyHandler::callbackReceived, this, &OAuthFlow::BrowserCameBack);
  return true;
}

void OAuthFlow::BrowserCameBack(const QVariantMap& data) {
  if (finished_) return;
  if (data.value("state").toString().toLatin1() != state_) {
    EndInBrowser("the answer in the browser does not belong to this sign-in");
    return;
  }
  const std::string error = BrowserWords(data.value("error"));
  if (!error.empty()) {
    const std::string description = BrowserWords(data.value("error_description"));
    EndInBrowser("the server said: " + error + (description.empty() ? "" : ": " + description));
    return;
  }
  if (data.value("code").toString().isEmpty()) {
    EndInBrowser("the browser came back without a code");
    return;
  }
  // Qt has asked for the token by now: the page the browser shows waits for its answer, so
  // that it tells how the sign-in ended.
  SilentUserInterface nobody;
  const bool never = false;
  WaitUntil(nobody, [this] { return finished_; }, never, request_timeout_ms_ + kAnswerSlackMs);
  if (!finished_) End(FailedTokenReply("the server did not answer in time"));
  if (result_.ok)
    listener_->setCallbackText(Page("Signed in", "The sign-in is done. You may close this window."));
  else
    ShowFailure(result_.why);
}

void OAuthFlow::StopListening() {
  if (listener_) listener_->close();
}

void OAuthFlow::EndInBrowser(const std::string& why) {
  ShowFailure(why);
  End(FailedTokenReply(why));
}

void OAuthFlow::ShowFailure(const std::string& why) {
  const std::string text = "The sign-in failed: " + why + ". You may close this window.";
  listener_->setCallbackText(Page("Sign-in failed", Text(text)));
}

void OAuthFlow::End(const TokenReply& reply) {
  if (finished_) return;
  finished_ = true;
  result_ = reply;
}

}  // namespace corvelle
