#include "net/sasl/oauth_sasl.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cctype>

#include "core/mime/transfer_decoding.h"
#include "platform/paths.h"

namespace corvelle {
namespace {

constexpr size_t kStatusMost = 40;

bool IsOffered(const std::vector<std::string>& offered, std::string_view name) {
  return std::any_of(offered.begin(), offered.end(),
                     [name](const std::string& word) { return SameNameIgnoringCase(word, name); });
}

// A saslname of RFC 5801: "," and "=" would end or break the header.
std::string SaslName(const std::string& user) {
  std::string name;
  for (char c : user) name += c == ',' ? "=2C" : c == '=' ? "=3D" : std::string(1, c);
  return name;
}

// The value after `"status"` and a colon: a JSON string or a bare number.
std::string StatusValue(std::string_view json) {
  size_t at = json.find("\"status\"");
  if (at == std::string_view::npos) return "";
  json.remove_prefix(at + 8);
  auto skip_space = [&json] {
    while (!json.empty() && std::isspace(static_cast<unsigned char>(json[0]))) json.remove_prefix(1);
  };
  skip_space();
  if (json.empty() || json[0] != ':') return "";
  json.remove_prefix(1);
  skip_space();
  const bool quoted = !json.empty() && json[0] == '"';
  if (quoted) json.remove_prefix(1);
  std::string value;
  for (char c : json) {
    if (quoted ? c == '"' : !std::isalnum(static_cast<unsigned char>(c))) return value;
    if (value.size() == kStatusMost || c < 0x20 || c > 0x7E || c == '\\') return "";
    value += c;
  }
  return quoted ? "" : value;  // a string without its end
}

}  // namespace

OAuthMechanism ChooseOAuthMechanism(const std::vector<std::string>& offered) {
  if (IsOffered(offered, "OAUTHBEARER")) return OAuthMechanism::kOAuthBearer;
  if (IsOffered(offered, "XOAUTH2")) return OAuthMechanism::kXOAuth2;
  return OAuthMechanism::kNone;
}

const char* MechanismName(OAuthMechanism mechanism) {
  switch (mechanism) {
    case OAuthMechanism::kOAuthBearer: return "OAUTHBEARER";
    case OAuthMechanism::kXOAuth2: return "XOAUTH2";
    case OAuthMechanism::kNone: break;
  }
  return "";
}

std::string NoOAuthMechanismText(const std::string& server, const std::vector<std::string>& offered,
                                 const std::string& none) {
  std::string names;
  for (size_t i = 0, shown = 0; i < offered.size() && shown < 20; ++i) {
    const std::string& name = offered[i];
    if (!std::all_of(name.begin(), name.end(), [](char c) { return c > 0x20 && c < 0x7F; })) continue;
    names += (shown++ ? " " : "") + name.substr(0, 40);
  }
  return "The mail server " + server + " does not offer a sign-in with OAuth2 (OAUTHBEARER or XOAUTH2); " +
         (names.empty() ? none : "it offers " + names + ".");
}

std::string OAuthInitialResponse(OAuthMechanism mechanism, const LoginTarget& target, const std::string& token) {
  if (mechanism == OAuthMechanism::kXOAuth2) return "user=" + target.user + "\x01" "auth=Bearer " + token + "\x01\x01";
  return "n,a=" + SaslName(target.user) + ",\x01" "host=" + target.host + "\x01" "port=" + target.port +
         "\x01" "auth=Bearer " + token + "\x01\x01";
}

std::string OAuthErrorAnswer(OAuthMechanism mechanism) {
  return mechanism == OAuthMechanism::kOAuthBearer ? Base64Encode("\x01") : "";
}

std::string ChallengeStatus(std::string_view base64) {
  std::string json = DecodeTransferEncoding(base64, "base64");
  if (json.empty() || json.find('{') == std::string::npos) return "";
  return StatusValue(json);
}

std::string Base64Encode(std::string_view bytes) {
  std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                          reinterpret_cast<const unsigned char*>(bytes.data()), static_cast<int>(bytes.size()));
  out.resize(static_cast<size_t>(std::max(n, 0)));
  return out;
}

}  // namespace corvelle
