#pragma once
// Where passwords and sign-in tokens are kept outside the settings file: the desktop's
// keyring (the Secret Service). The interface builds the real one; tests hand a map.

#include <string>

namespace corvelle {

class SecretStore {
 public:
  enum class Result {
    kDone,        // read, written or removed
    kMissing,     // no secret under that key
    kUnavailable  // no keyring answers (none running, locked and the user declined, an error)
  };
  virtual ~SecretStore() = default;
  virtual Result Read(const std::string& key, std::string& secret) = 0;
  virtual Result Write(const std::string& key, const std::string& secret) = 0;
  // Removing a key that is not there is kMissing, not a failure.
  virtual Result Remove(const std::string& key) = 0;
};

}  // namespace corvelle
