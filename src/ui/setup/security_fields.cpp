#include "ui/setup/security_fields.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>

#include "core/settings/security_settings.h"
#include "core/settings/settings.h"
#include "ui/common/byte_fields.h"
#include "ui/common/hinted_edit.h"
#include "ui/common/named.h"

namespace corvelle {
namespace {

QComboBox* MakeChoice(const char* name, QLineEdit* port, const char* const* ports) {
  auto* box = Named(new QComboBox, name);
  box->setFocusPolicy(Qt::StrongFocus);  // reached by Tab like the fields around it
  for (const char* text : kSecurityTexts) box->addItem(QString::fromUtf8(text));
  QObject::connect(box, &QComboBox::currentIndexChanged, port, [port, ports](int index) {
    for (int other = 0; other < 3; ++other)
      if (port->text().isEmpty() || port->text() == QString::fromUtf8(ports[other])) {
        port->setText(QString::fromUtf8(ports[index]));
        break;
      }
  });
  return box;
}

void Choose(QComboBox* box, Security security) {
  const QSignalBlocker quiet(box);  // the port loaded with it stays
  box->setCurrentIndex(static_cast<int>(security));
}

}  // namespace

SecurityFields::SecurityFields(QFormLayout* form, QLineEdit* send_port, QLineEdit* mail_port)
    : QObject(form), send_port_(send_port), mail_port_(mail_port) {
  SendSecurityBox = MakeChoice("SendSecurityBox", send_port, kSendPorts);
  MailSecurityBox = MakeChoice("MailSecurityBox", mail_port, kMailPorts);
  SendUserTxt = HintedEdit(nullptr, "SendUserTxt", "User name for the SMTP server; empty: the POP user name and password.");
  SendPasswordTxt = HintedEdit(nullptr, "SendPasswordTxt", "Password for the SMTP server.");
  SendPasswordTxt->setEchoMode(QLineEdit::Password);
  // Each server's rows stay together: the send credentials follow the send security.
  int row = -1;
  QFormLayout::ItemRole role;
  form->getWidgetPosition(send_port, &row, &role);
  form->insertRow(row + 1, "Send mail security:", SendSecurityBox);
  form->insertRow(row + 2, "Send user name:", SendUserTxt);
  form->insertRow(row + 3, "Send password:", SendPasswordTxt);
  form->getWidgetPosition(mail_port, &row, &role);
  form->insertRow(row + 1, "Mail server security:", MailSecurityBox);
}

void SecurityFields::Load(const Settings& s) {
  const SecuritySettings& secure = s.Secure;
  if (s.MailServer.empty() && s.MailPort.empty() && secure.MailSecurity.empty()) {
    Choose(MailSecurityBox, Security::kTls);
    mail_port_->setText("995");
  } else {
    Choose(MailSecurityBox, SecurityFromText(secure.MailSecurity, s.MailPort));
  }
  if (s.SendServer.empty() && s.SendPort.empty() && secure.SendSecurity.empty()) {
    Choose(SendSecurityBox, Security::kStartTls);
    send_port_->setText("587");
  } else {
    Choose(SendSecurityBox, SecurityFromText(secure.SendSecurity, s.SendPort));
  }
  SetFieldBytes(SendUserTxt, secure.SendUserName, FieldKind::kText);
  SetFieldBytes(SendPasswordTxt, DecodePassword(secure.SendPassWord), FieldKind::kText);
}

void SecurityFields::Store(Settings& s) const {
  s.Secure.SendSecurity = kSecurityTexts[SendSecurityBox->currentIndex()];
  s.Secure.MailSecurity = kSecurityTexts[MailSecurityBox->currentIndex()];
  s.Secure.SendUserName = FieldBytes(SendUserTxt, FieldKind::kText);
  s.Secure.SendPassWord = EncodePassword(FieldBytes(SendPasswordTxt, FieldKind::kText));
}

}  // namespace corvelle
