#pragma once
// The provider fields of the setup dialog's User settings page: the provider preset, which
// fills in the servers, ports, security and sign-in method when chosen; the sign-in method;
// and, for OAuth2, the client the user registered with the provider, which is kept in the
// settings file's section of that provider. A mail address of a known domain chooses its
// preset while nothing is chosen or typed yet.

#include <QObject>
#include <string>
#include <vector>

#include "core/signin/provider_preset.h"

class QComboBox;
class QFormLayout;
class QLabel;
class QLineEdit;

namespace corvelle {

struct Settings;
class SecurityFields;

class ProviderFields : public QObject {
  Q_OBJECT

 public:
  // The page's fields that a preset fills in or the sign-in method turns off.
  struct PageFields {
    QLineEdit *send_server, *send_port, *mail_server, *mail_port, *password, *mail_address;
    SecurityFields* security;
  };
  // Adds the rows at the top of `form` (the page's).
  ProviderFields(QFormLayout* form, const PageFields& page);

  // Reads the presets and shows the provider and sign-in method of `s`; fills in nothing.
  void Load(const Settings& s);
  // The provider and the sign-in method into `s`: each stays "" while it was "" and still
  // means the same, so that an older file keeps its keys as they were.
  void Store(Settings& s) const;
  // Writes the client ID and secret into the chosen provider's section when they changed.
  // False when the settings file could not be written.
  bool SaveClient() const;

  QComboBox* ProviderBox;  // first "(none)", then the presets
  QComboBox* SignInBox;    // kSignInTexts
  QLineEdit* ClientIdTxt;
  QLineEdit* ClientSecretTxt;
  QLabel* ProviderHelp;    // the preset's help address, or what OAuth2 still needs

 private:
  void ChooseProvider(int index);
  void SuggestFromAddress(const QString& address);
  void ShowSignIn();
  const ProviderPreset* Chosen() const;

  QFormLayout* form_;
  PageFields page_;
  std::vector<ProviderPreset> presets_;
  std::string loaded_sign_in_, loaded_provider_;  // Secure.SignIn and Secure.Provider as loaded
  QString password_tip_, send_password_tip_;
};

}  // namespace corvelle
