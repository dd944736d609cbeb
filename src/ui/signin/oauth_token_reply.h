#pragma once
// What a token endpoint answered (RFC 6749 sections 5.1 and 5.2), read from the HTTP status
// and the JSON body. A broken or hostile answer is a failure with its reason, never a token.

#include <QByteArray>
#include <QString>
#include <string>

namespace corvelle {

// The largest answer of a token endpoint that is read; a longer one is cut off and refused.
inline constexpr qint64 kTokenReplyLimit = 64 * 1024;

struct TokenReply {
  bool ok = false;
  // The server refused the grant itself (invalid_grant: a refresh token revoked or expired,
  // a code used twice or a verifier that does not match): asking again will not help.
  bool grant_refused = false;
  std::string access_token, refresh_token;  // refresh_token "": the server kept the old one
  long long expires_in = 0;                 // seconds; 0: not said
  std::string why;  // on failure: what went wrong, in the user's words, the server's error included
};

// A server's own words fit for a message: printable ASCII only, at most 200 characters.
std::string ServerWords(const QString& text);

// The answer with HTTP `status` and `body`.
TokenReply ReadTokenReply(int status, const QByteArray& body);
// A request that got no HTTP answer (refused, timed out, cut off): `why` says so.
TokenReply FailedTokenReply(const std::string& why);

}  // namespace corvelle
