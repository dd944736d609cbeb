#pragma once
// Proof Key for Code Exchange (RFC 7636): the secret verifier a sign-in keeps and the
// challenge it shows in the authorize address, so a code caught on the way is useless.

#include <QByteArray>

namespace corvelle {

// `bytes` from the system's random source, base64url without padding: unreserved characters
// only, so the text passes through addresses unchanged (32 bytes give a 43-character verifier).
QByteArray RandomUrlText(int bytes = 32);
// The S256 challenge of `verifier`: BASE64URL(SHA256(verifier)) without padding.
QByteArray CodeChallenge(const QByteArray& verifier);

}  // namespace corvelle
