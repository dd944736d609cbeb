#pragma once
// Logging in with an OAuth2 access token over SASL, for POP3 (RFC 5034) and SMTP (RFC 4954)
// alike: which mechanism to take of those a server offers, the client's message of each, and
// what a server's error challenge says. Pure functions, no connection.
//
//   OAUTHBEARER (RFC 7628):  "n,a=" saslname "," 0x01 "host=" host 0x01 "port=" port 0x01
//                            "auth=Bearer " token 0x01 0x01
//   XOAUTH2 (older, still the one some providers take):
//                            "user=" user 0x01 "auth=Bearer " token 0x01 0x01
//   error challenge:         base64 of JSON, {"status":"401","schemes":"bearer",...}

#include <string>
#include <string_view>
#include <vector>

#include "core/signin/credentials.h"

namespace corvelle {

enum class OAuthMechanism { kNone, kOAuthBearer, kXOAuth2 };

// Of the mechanism names `offered` (any letter case): OAUTHBEARER when there, else XOAUTH2,
// else kNone.
OAuthMechanism ChooseOAuthMechanism(const std::vector<std::string>& offered);
// "OAUTHBEARER", "XOAUTH2"; "" for kNone.
const char* MechanismName(OAuthMechanism mechanism);
// What the user is told when the mail server `server` offers no token mechanism: what it
// does offer (at most 20 printable names of at most 40 characters, a hostile server's
// bytes left out), or `none` when that is nothing.
std::string NoOAuthMechanismText(const std::string& server, const std::vector<std::string>& offered,
                                 const std::string& none);

// The client's first message for `target` with `token`, not yet base64 encoded. The user
// name in OAUTHBEARER's header has "," and "=" escaped (RFC 5801: "=2C", "=3D").
std::string OAuthInitialResponse(OAuthMechanism mechanism, const LoginTarget& target, const std::string& token);

// The answer, base64 encoded, to a server's error challenge. The exchange is finished the
// way the mechanism says rather than cancelled ("*"): after a cancel a server replies only
// that the client gave up, and the user would not learn why the token was refused. The
// server then sends its failure reply. OAUTHBEARER: a lone 0x01 ("AQ==", RFC 7628 3.2.3);
// XOAUTH2: an empty response, which is what its servers wait for.
std::string OAuthErrorAnswer(OAuthMechanism mechanism);

// The "status" member of the JSON that an error challenge (`base64`) holds: "401",
// "invalid_token". "" when there is none, or the challenge is not such JSON. At most 40
// printable characters are taken; anything else gives "".
std::string ChallengeStatus(std::string_view base64);

// RFC 4648 base64, no line breaks.
std::string Base64Encode(std::string_view bytes);

}  // namespace corvelle
