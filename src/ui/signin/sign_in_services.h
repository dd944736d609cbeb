#pragma once
// The sign-in services of a desktop run: the system keyring (KeychainStore) and the
// credentials logins are made with (KeyringCredentials), set into the run's Services.
// main() keeps the returned owner for as long as the services are used:
//   auto sign_in = InstallSignIn(services, DesktopOAuth2(services));

#include <functional>
#include <memory>

#include "core/signin/keyring_credentials.h"
#include "ui/main/services.h"
#include "ui/signin/keychain_store.h"

namespace corvelle {

// Makes the OAuth2 sign-in of the run, given the keyring its tokens go to (null when none
// answers).
using OAuth2Maker = std::function<std::unique_ptr<Credentials>(SecretStore* secrets)>;

// The desktop's OAuth2 sign-in: the provider each login names, the sign-in page opened in
// $BROWSER or the desktop's browser.
OAuth2Maker DesktopOAuth2(const Services& services);

struct SignInServices {
  explicit SignInServices(int timeout_ms) : keychain(timeout_ms) {}
  KeychainStore keychain;
  std::unique_ptr<Credentials> oauth2;
  std::unique_ptr<KeyringCredentials> credentials;
};

// Asks once whether a keyring answers, then sets services.secrets (the keychain, or null
// when none answers), services.credentials (passwords from the keyring or the settings
// file; OAuth2 through what `make_oauth2` makes, or failing with the reason without one) and
// services.account_credentials (the same for a further account, over its settings: the
// same keyring and the same OAuth2 sign-in, which asks for that account's provider).
std::unique_ptr<SignInServices> InstallSignIn(Services& services, const OAuth2Maker& make_oauth2 = {},
                                              int timeout_ms = KeychainStore::kTimeoutMs);

}  // namespace corvelle
