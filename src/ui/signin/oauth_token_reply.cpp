#include "ui/signin/oauth_token_reply.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace corvelle {
namespace {

constexpr int kServerTextLimit = 200;

std::string ServerText(const QJsonValue& value) { return ServerWords(value.toString()); }

// A token goes into a login line as is: control characters would break or forge it.
bool Printable(const std::string& token) {
  for (char c : token)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
  return true;
}

long long Seconds(const QJsonValue& value) {
  // Some servers send the number as a string.
  long long seconds = value.isString() ? value.toString().toLongLong() : value.toInteger();
  return seconds > 0 ? seconds : 0;
}

}  // namespace

std::string ServerWords(const QString& text) {
  std::string words;
  for (char c : text.toStdString()) {
    if (static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7f) words += c;
    if (words.size() >= kServerTextLimit) break;
  }
  return words;
}

TokenReply FailedTokenReply(const std::string& why) {
  TokenReply reply;
  reply.why = why;
  return reply;
}

TokenReply ReadTokenReply(int status, const QByteArray& body) {
  const QJsonDocument document = QJsonDocument::fromJson(body);
  const bool success = status >= 200 && status < 300;
  if (!document.isObject()) {
    if (success) return FailedTokenReply("its answer is not valid JSON");
    return FailedTokenReply("the server answered with HTTP status " + std::to_string(status));
  }
  const QJsonObject object = document.object();
  const std::string error = ServerText(object.value("error"));
  if (!error.empty()) {
    const std::string description = ServerText(object.value("error_description"));
    TokenReply reply = FailedTokenReply("the server said: " + error + (description.empty() ? "" : ": " + description));
    reply.grant_refused = error == "invalid_grant";
    return reply;
  }
  if (!success) return FailedTokenReply("the server answered with HTTP status " + std::to_string(status));
  TokenReply reply;
  reply.access_token = object.value("access_token").toString().toStdString();
  reply.refresh_token = object.value("refresh_token").toString().toStdString();
  reply.expires_in = Seconds(object.value("expires_in"));
  if (reply.access_token.empty()) return FailedTokenReply("its answer holds no access token");
  if (!Printable(reply.access_token) || !Printable(reply.refresh_token))
    return FailedTokenReply("its answer holds a token with control characters");
  reply.ok = true;
  return reply;
}

}  // namespace corvelle
