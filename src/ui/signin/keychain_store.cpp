#include "ui/signin/keychain_store.h"

#include <QEventLoop>
#include <QTimer>
#include <qt6keychain/keychain.h>

#include "ui/common/qt_text.h"

namespace corvelle {
namespace {

constexpr const char* kService = "Corvelle";
constexpr const char* kProbeKey = "probe: a keyring answers";

SecretStore::Result ResultOf(QKeychain::Error error) {
  switch (error) {
    case QKeychain::NoError: return SecretStore::Result::kDone;
    case QKeychain::EntryNotFound: return SecretStore::Result::kMissing;
    default: return SecretStore::Result::kUnavailable;  // none running, locked and declined, an error
  }
}

// A job of `Kind` for `key`: deleted by itself once finished, so that one left unanswered
// after a time-out is never used after it is gone.
template <typename Kind>
Kind* MakeJob(const std::string& key) {
  auto* job = new Kind(QString::fromUtf8(kService));
  job->setAutoDelete(true);
  job->setInsecureFallback(false);
  job->setKey(TextToQt(key));
  return job;
}

}  // namespace

SecretStore::Result KeychainStore::Read(const std::string& key, std::string& secret) {
  if (!Answers()) return Result::kUnavailable;
  return Run(MakeJob<QKeychain::ReadPasswordJob>(key), &secret);
}

SecretStore::Result KeychainStore::Write(const std::string& key, const std::string& secret) {
  if (!Answers()) return Result::kUnavailable;
  auto* job = MakeJob<QKeychain::WritePasswordJob>(key);
  job->setBinaryData(QByteArray::fromStdString(secret));
  return Run(job, nullptr);
}

SecretStore::Result KeychainStore::Remove(const std::string& key) {
  if (!Answers()) return Result::kUnavailable;
  return Run(MakeJob<QKeychain::DeletePasswordJob>(key), nullptr);
}

bool KeychainStore::Answers() {
  if (!answers_) {
    std::string none;
    answers_ = Run(MakeJob<QKeychain::ReadPasswordJob>(kProbeKey), &none) != Result::kUnavailable;
  }
  return *answers_;
}

SecretStore::Result KeychainStore::Run(QKeychain::Job* job, std::string* read) {
  QEventLoop loop;
  std::optional<Result> result;
  // The loop is the context: an answer after the time-out reaches nothing.
  QObject::connect(job, &QKeychain::Job::finished, &loop, [&](QKeychain::Job* done) {
    result = ResultOf(done->error());
    if (read && *result == Result::kDone)
      *read = static_cast<QKeychain::ReadPasswordJob*>(done)->binaryData().toStdString();
    loop.quit();
  });
  QTimer::singleShot(timeout_ms_, &loop, &QEventLoop::quit);
  job->start();
  if (!result) loop.exec(QEventLoop::ExcludeUserInputEvents);
  if (result) return *result;
  answers_ = false;
  return Result::kUnavailable;
}

}  // namespace corvelle
