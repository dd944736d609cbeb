#pragma once
// The design's credentials: the scrambled passwords of the settings file (the POP3 one, and
// for sending the SMTP one when a separate SMTP user is set).

#include "core/settings/settings.h"
#include "core/signin/credentials.h"

namespace corvelle {

class SettingsCredentials : public Credentials {
 public:
  explicit SettingsCredentials(const Settings& settings) : settings_(settings) {}
  bool Get(UserInterface& ui, const LoginTarget& target, Credential& credential, std::string& why) override;

 private:
  const Settings& settings_;
};

// Whether sending logs in as a user of its own (else with the POP3 user name and password).
bool OwnSendLogin(const Settings& settings);
// The scrambled password the settings file holds for `service`.
const std::string& StoredPassword(const Settings& settings, LoginTarget::Service service);

}  // namespace corvelle
