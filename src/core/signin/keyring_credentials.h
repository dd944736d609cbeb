#pragma once
// The run's credentials: passwords from the system keyring or the settings file
// (core/signin/keyring_passwords.h), and an OAuth2 sign-in handed to the credentials given
// for it.

#include "core/signin/credentials.h"

namespace corvelle {

class SecretStore;

class KeyringCredentials : public Credentials {
 public:
  // `store`: the keyring, null when none answers; `oauth2`: what signs in with OAuth2, null
  // when this run has none. All three outlive this object.
  KeyringCredentials(const Settings& settings, SecretStore* store, Credentials* oauth2)
      : settings_(settings), store_(store), oauth2_(oauth2) {}
  bool Get(UserInterface& ui, const LoginTarget& target, Credential& credential, std::string& why) override;
  void Refused(const LoginTarget& target) override;
  void BeginRun() override;

 private:
  const Settings& settings_;
  SecretStore* store_;
  Credentials* oauth2_;
};

}  // namespace corvelle
