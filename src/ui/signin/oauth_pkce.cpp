#include "ui/signin/oauth_pkce.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <vector>

namespace corvelle {
namespace {

constexpr auto kUrlBase64 = QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals;

}  // namespace

QByteArray RandomUrlText(int bytes) {
  std::vector<quint32> words((bytes + 3) / 4);
  QRandomGenerator::system()->fillRange(words.data(), static_cast<qsizetype>(words.size()));
  return QByteArray(reinterpret_cast<const char*>(words.data()), bytes).toBase64(kUrlBase64);
}

QByteArray CodeChallenge(const QByteArray& verifier) {
  return QCryptographicHash::hash(verifier, QCryptographicHash::Sha256).toBase64(kUrlBase64);
}

}  // namespace corvelle
