#include "ui/signin/oauth_token_access.h"

#include <QNetworkReply>
#include <memory>

namespace corvelle {

OAuthTokenAccess::OAuthTokenAccess(int timeout_ms, std::function<void(const TokenReply&)> on_reply, QObject* parent)
    : QNetworkAccessManager(parent), timeout_ms_(timeout_ms), on_reply_(std::move(on_reply)) {}

QNetworkReply* OAuthTokenAccess::createRequest(Operation op, const QNetworkRequest& request, QIODevice* data) {
  QNetworkRequest bounded(request);
  bounded.setTransferTimeout(timeout_ms_);
  QNetworkReply* reply = QNetworkAccessManager::createRequest(op, bounded, data);
  auto too_large = std::make_shared<bool>(false);
  // Connected before the flow's own handler, so the body is peeked at before it is read.
  connect(reply, &QNetworkReply::readyRead, reply, [reply, too_large] {
    if (reply->bytesAvailable() <= kTokenReplyLimit) return;
    *too_large = true;
    reply->abort();
  });
  connect(reply, &QNetworkReply::finished, this, [this, reply, too_large] { Finished(reply, *too_large); });
  return reply;
}

void OAuthTokenAccess::Finished(QNetworkReply* reply, bool too_large) {
  const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
  TokenReply read;
  if (too_large)
    read = FailedTokenReply("its answer is larger than " + std::to_string(kTokenReplyLimit / 1024) + " KiB");
  else if (reply->error() == QNetworkReply::OperationCanceledError)
    read = FailedTokenReply("it did not answer within " + std::to_string(timeout_ms_ / 1000) + " seconds");
  else if (status == 0)
    read = FailedTokenReply(reply->errorString().toStdString());
  else
    read = ReadTokenReply(status, reply->peek(kTokenReplyLimit));
  if (on_reply_) on_reply_(read);
}

}  // namespace corvelle
