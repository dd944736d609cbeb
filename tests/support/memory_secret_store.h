#pragma once
// A keyring in memory for tests: a map, with keys whose writes it refuses and a switch that
// makes it stop answering.

#include <map>
#include <set>
#include <string>

#include "core/signin/secret_store.h"

namespace corvelle::testing {

class MemorySecretStore : public SecretStore {
 public:
  Result Read(const std::string& key, std::string& secret) override {
    if (!answers) return Result::kUnavailable;
    auto found = secrets.find(key);
    if (found == secrets.end()) return Result::kMissing;
    secret = found->second;
    return Result::kDone;
  }
  Result Write(const std::string& key, const std::string& secret) override {
    if (!answers || refused.count(key)) return Result::kUnavailable;
    secrets[key] = secret;
    return Result::kDone;
  }
  Result Remove(const std::string& key) override {
    if (!answers) return Result::kUnavailable;
    return secrets.erase(key) ? Result::kDone : Result::kMissing;
  }

  std::map<std::string, std::string> secrets;
  std::set<std::string> refused;  // keys whose Write is kUnavailable
  bool answers = true;
};

}  // namespace corvelle::testing
