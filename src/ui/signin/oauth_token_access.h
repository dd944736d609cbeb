#pragma once
// The network access of one sign-in. Qt's OAuth2 flow reports neither an HTTP error of the
// token endpoint nor an answer it cannot read (it only logs them), so every answer is read
// here instead: cut off past kTokenReplyLimit bytes, given up after a time, and handed on as
// a TokenReply the moment it ends.

#include <QNetworkAccessManager>
#include <functional>

#include "ui/signin/oauth_token_reply.h"

namespace corvelle {

class OAuthTokenAccess : public QNetworkAccessManager {
  Q_OBJECT
 public:
  OAuthTokenAccess(int timeout_ms, std::function<void(const TokenReply&)> on_reply, QObject* parent = nullptr);

 protected:
  QNetworkReply* createRequest(Operation op, const QNetworkRequest& request, QIODevice* data) override;

 private:
  void Finished(QNetworkReply* reply, bool too_large);

  int timeout_ms_;
  std::function<void(const TokenReply&)> on_reply_;
};

}  // namespace corvelle
