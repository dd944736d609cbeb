#pragma once
// One exchange with a provider's token endpoint through Qt's OAuth2 authorization code flow:
// the refresh of an access token, or the sign-in in the browser (RFC 8252: the browser comes
// back to a listener on 127.0.0.1 at a port of the system's choice; PKCE S256, RFC 7636).
// It ends with one TokenReply, whatever went wrong on the way; the caller waits for it.

#include <QObject>
#include <QUrl>
#include <functional>
#include <memory>
#include <string>

#include "core/signin/provider_preset.h"
#include "ui/signin/oauth_token_reply.h"

class QOAuth2AuthorizationCodeFlow;
class QOAuthHttpServerReplyHandler;

namespace corvelle {

class OAuthTokenAccess;

class OAuthFlow : public QObject {
  Q_OBJECT
 public:
  OAuthFlow(const OAuthEndpoints& endpoints, int request_timeout_ms);
  ~OAuthFlow() override;

  // Asks the token endpoint for a new access token with `refresh_token`.
  void Refresh(const std::string& refresh_token);
  // Listens on 127.0.0.1 and hands the authorize address to `open`; `login_hint` (the
  // account's user name) spares the user choosing the account again at the provider. False,
  // with `why`, when no port could be had: the flow has then finished already.
  bool StartBrowser(const std::function<void(const QUrl&)>& open, const std::string& login_hint, std::string& why);

  bool Finished() const { return finished_; }
  // Takes no more answers from the browser. The page of the last one is still being sent:
  // it goes with the flow, so the flow is kept a while after its end.
  void StopListening();
  const TokenReply& Result() const { return result_; }

 private:
  void ModifyParameters(int stage, QMultiMap<QString, QVariant>* parameters);
  void BrowserCameBack(const QVariantMap& data);
  void End(const TokenReply& reply);
  void EndInBrowser(const std::string& why);
  void ShowFailure(const std::string& why);

  OAuthEndpoints endpoints_;
  int request_timeout_ms_;
  std::unique_ptr<OAuthTokenAccess> access_;  // before flow_: it outlives the flow's requests
  std::unique_ptr<QOAuth2AuthorizationCodeFlow> flow_;
  QOAuthHttpServerReplyHandler* listener_ = nullptr;  // the flow's child
  QByteArray state_, verifier_;
  QString refresh_token_, login_hint_;
  bool finished_ = false;
  TokenReply result_;
};

}  // namespace corvelle
