#pragma once
// The system keyring through QtKeychain: the Secret Service on the session bus (whatever
// QtKeychain finds on the desktop), under the service name "Corvelle". Calls are made
// synchronously in a local event loop that user input does not reach, each bounded by a
// time-out. Never QtKeychain's plain-file fallback: without a keyring, nothing is written.

#include <optional>

#include "core/signin/secret_store.h"

namespace QKeychain {
class Job;
}

namespace corvelle {

class KeychainStore : public SecretStore {
 public:
  // How long one call may wait for the keyring (an unlock prompt included).
  static constexpr int kTimeoutMs = 10000;
  explicit KeychainStore(int timeout_ms = kTimeoutMs) : timeout_ms_(timeout_ms) {}

  // Secrets are bytes: any byte string comes back as it was written. Removing a key that
  // is not there is kDone (the Secret Service does not tell the two apart).
  Result Read(const std::string& key, std::string& secret) override;
  Result Write(const std::string& key, const std::string& secret) override;
  Result Remove(const std::string& key) override;

  // Whether a keyring answers: found by reading a key that is never written, then kept for
  // the run. A call that gets no answer in time counts as none answering, so that no later
  // call waits again (QtKeychain runs its calls one after another).
  bool Answers();

 private:
  Result Run(QKeychain::Job* job, std::string* read);

  int timeout_ms_;
  std::optional<bool> answers_;
};

}  // namespace corvelle
