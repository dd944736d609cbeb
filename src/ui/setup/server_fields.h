#pragma once
// The server, login and identity fields an account is set up with: the User settings page
// has them for the first account, the account editor for each further one. The password is
// left to each: where it is kept differs.

#include <QCheckBox>
#include <QFormLayout>
#include <QLineEdit>

namespace corvelle {

struct Settings;

class ServerFields {
 public:
  QLineEdit* SendSvrTxt = nullptr;
  QLineEdit* SendSvrPortTxt = nullptr;
  QLineEdit* MailServerTxt = nullptr;
  QLineEdit* ServerPortTxt = nullptr;
  QLineEdit* UserNameTxt = nullptr;
  QLineEdit* PasswordTxt = nullptr;
  QLineEdit* NameTxt = nullptr;
  QLineEdit* MailAddressTxt = nullptr;
  QCheckBox* LeaveMail = nullptr;

 protected:
  // Makes the fields on `page`, the ports at their usual values.
  void MakeServerFields(QWidget* page);
  // The rows from "Send mail server:" to "Email address:" (Leave mail on server is placed by
  // the caller).
  void AddServerRows(QFormLayout* form) const;
  // The fields from `s` (ports only where set) and back, the password aside.
  void LoadServerFields(const Settings& s);
  void StoreServerFields(Settings& s) const;
};

}  // namespace corvelle
