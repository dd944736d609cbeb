#pragma once
// The security fields of the setup dialog's User settings page: the security of each
// server ("SSL/TLS", "STARTTLS", "None") and the user name and password for sending. A
// choice moves its port field along while it holds the port of another choice.

#include <QObject>

class QComboBox;
class QFormLayout;
class QLineEdit;

namespace corvelle {

struct Settings;

class SecurityFields : public QObject {
  Q_OBJECT

 public:
  // Adds the rows to `form` (the page's), beside the port fields they belong with.
  SecurityFields(QFormLayout* form, QLineEdit* send_port, QLineEdit* mail_port);

  // A new setup (no server, no port, no choice yet) gets SSL/TLS on 995 for POP3 and
  // STARTTLS on 587 for sending.
  void Load(const Settings& s);
  void Store(Settings& s) const;

  QComboBox* SendSecurityBox;
  QComboBox* MailSecurityBox;
  QLineEdit* SendUserTxt;
  QLineEdit* SendPasswordTxt;

 private:
  QLineEdit* send_port_;
  QLineEdit* mail_port_;
};

}  // namespace corvelle
