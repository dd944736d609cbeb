#pragma once
// A small OAuth2 authorization server on 127.0.0.1 for the sign-in tests: an authorize
// endpoint that checks the client, the loopback redirect address and the PKCE S256 challenge
// and sends the browser back with a code holding '/', '+' and '%'; a token endpoint that
// checks the code, the redirect address and the verifier, refreshes with rotation, and can be
// told to refuse or to answer anything at all.

#include <QCryptographicHash>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrlQuery>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/signin/provider_preset.h"

namespace corvelle::testing {

class FakeOAuthServer {
 public:
  struct Answer {
    int status;
    QByteArray body;
  };

  FakeOAuthServer() {
    server_.listen(QHostAddress::LocalHost, 0);
    base_ = "http://127.0.0.1:" + std::to_string(server_.serverPort());
    QObject::connect(&server_, &QTcpServer::newConnection, [this] {
      while (QTcpSocket* socket = server_.nextPendingConnection()) Serve(socket);
    });
  }

  OAuthEndpoints Endpoints() const { return {base_ + "/authorize", base_ + "/token", "mail", "corvelle-test", ""}; }
  // Connections are refused from now on.
  void Close() { server_.close(); }

  // The code the browser is sent back with, as the server means it.
  QString code = "c0de/+x%y z";
  int expires_in = 3600;
  bool refuse_verifier = false;      // the code exchange says the verifier does not match
  bool refresh_dead = false;         // refreshing answers invalid_grant
  std::optional<Answer> token_answer;  // replaces every answer of the token endpoint
  // What was seen.
  std::vector<QString> grants;  // grant_type of each token request
  std::vector<QString> problems;  // what the server found wrong with a request
  QString refresh_token;  // the one that is valid now
  int given = 0;

 private:
  void Serve(QTcpSocket* socket) {
    auto buffer = std::make_shared<QByteArray>();
    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
      buffer->append(socket->readAll());
      const qsizetype end = buffer->indexOf("\r\n\r\n");
      if (end < 0) return;
      const QList<QByteArray> lines = buffer->left(end).split('\n');
      qsizetype length = 0;
      for (const QByteArray& line : lines)
        if (line.toLower().startsWith("content-length:")) length = line.mid(15).trimmed().toLongLong();
      if (buffer->size() < end + 4 + length) return;
      const QList<QByteArray> request = lines.first().trimmed().split(' ');
      Write(socket, Handle(request.value(1), buffer->mid(end + 4, length)));
      buffer->clear();
    });
  }

  static void Write(QTcpSocket* socket, const Answer& answer) {
    QByteArray head = "HTTP/1.1 " + QByteArray::number(answer.status) + " X\r\nConnection: close\r\n";
    if (answer.status == 302)
      head += "Location: " + answer.body + "\r\nContent-Length: 0\r\n\r\n";
    else
      head += "Content-Type: application/json\r\nContent-Length: " + QByteArray::number(answer.body.size()) +
              "\r\n\r\n" + answer.body;
    socket->write(head);
    socket->disconnectFromHost();
  }

  Answer Problem(const QString& what) {
    problems.push_back(what);
    return {400, R"({"error":"invalid_request","error_description":")" + what.toUtf8() + "\"}"};
  }

  Answer Handle(const QByteArray& target, const QByteArray& body) {
    if (target.startsWith("/authorize?")) return Authorize(QUrlQuery(QString::fromUtf8(target.mid(11))));
    if (target == "/token") return Token(FormFields(body));
    return {404, "{}"};
  }

  Answer Authorize(const QUrlQuery& query) {
    auto field = [&](const char* name) { return query.queryItemValue(name, QUrl::FullyDecoded); };
    if (field("client_id") != "corvelle-test" || field("response_type") != "code") return Problem("bad client");
    if (field("code_challenge_method") != "S256" || field("code_challenge").size() != 43) return Problem("no PKCE");
    redirect_uri_ = field("redirect_uri");
    if (!redirect_uri_.startsWith("http://127.0.0.1:")) return Problem("redirect not to 127.0.0.1");
    challenge_ = field("code_challenge").toLatin1();
    const QString state = field("state");
    return {302, (redirect_uri_ + (redirect_uri_.contains('?') ? "&" : "?") + "code=" +
                  QUrl::toPercentEncoding(code) + "&state=" + QUrl::toPercentEncoding(state)).toUtf8()};
  }

  // An application/x-www-form-urlencoded body, read as a server reads it.
  static std::map<QString, QString> FormFields(const QByteArray& body) {
    std::map<QString, QString> fields;
    for (QByteArray pair : body.split('&')) {
      pair.replace('+', ' ');
      const qsizetype equals = pair.indexOf('=');
      fields[QUrl::fromPercentEncoding(pair.left(equals))] = QUrl::fromPercentEncoding(pair.mid(equals + 1));
    }
    return fields;
  }

  Answer Token(std::map<QString, QString> fields) {
    grants.push_back(fields["grant_type"]);
    if (token_answer) return *token_answer;
    if (fields["client_id"] != "corvelle-test") return Problem("bad client");
    if (fields["grant_type"] == "refresh_token") {
      if (refresh_dead || fields["refresh_token"] != refresh_token)
        return {400, R"({"error":"invalid_grant","error_description":"Token has been expired or revoked."})"};
      return Tokens();
    }
    if (fields["code"] != code) return Problem("wrong code: " + fields["code"]);
    if (fields["redirect_uri"] != redirect_uri_) return Problem("wrong redirect_uri");
    const QByteArray verified = QCryptographicHash::hash(fields["code_verifier"].toLatin1(), QCryptographicHash::Sha256)
                                    .toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
    if (refuse_verifier || verified != challenge_)
      return {400, R"({"error":"invalid_grant","error_description":"PKCE verification failed"})"};
    return Tokens();
  }

  Answer Tokens() {
    ++given;
    refresh_token = "refresh/+" + QString::number(given);
    return {200, QString(R"({"access_token":"access-%1","token_type":"Bearer","expires_in":%2,"refresh_token":"%3"})")
                     .arg(given)
                     .arg(expires_in)
                     .arg(refresh_token)
                     .toUtf8()};
  }

  QTcpServer server_;
  std::string base_;
  QString redirect_uri_;
  QByteArray challenge_;
};

}  // namespace corvelle::testing
