#include "core/signin/credentials.h"

#include "core/settings/settings.h"

namespace corvelle {

const char* SignInText(SignInMethod method) { return kSignInTexts[static_cast<int>(method)]; }

SignInMethod SignInFromText(const std::string& text) {
  return text == SignInText(SignInMethod::kOAuth2) ? SignInMethod::kOAuth2 : SignInMethod::kPassword;
}

SignInMethod AccountSignIn(const Settings& settings) { return SignInFromText(settings.Secure.SignIn); }

}  // namespace corvelle
