#include "ui/setup/server_fields.h"

#include "core/settings/settings.h"
#include "ui/common/byte_fields.h"
#include "ui/common/hinted_edit.h"
#include "ui/common/named.h"

namespace corvelle {

void ServerFields::MakeServerFields(QWidget* page) {
  SendSvrTxt = HintedEdit(page, "SendSvrTxt", "Send mail server is the SMTP server.");
  SendSvrPortTxt = HintedEdit(page, "SendSvrPortTxt", "Send mail port is the port used by the SMTP server.");
  SendSvrPortTxt->setText("25");
  MailServerTxt = HintedEdit(page, "MailServerTxt", "Mail server is the POP server which stores mail.");
  ServerPortTxt = HintedEdit(page, "ServerPortTxt", "Mail server port is the port used by the POP server.");
  ServerPortTxt->setText("110");
  UserNameTxt = HintedEdit(page, "UserNameTxt", "User name used to log into the POP server.");
  PasswordTxt = HintedEdit(page, "PasswordTxt", "Password used to log into the POP server.");
  PasswordTxt->setEchoMode(QLineEdit::Password);
  PasswordTxt->setStyleSheet("lineedit-password-character: 42");  // "*"
  NameTxt = HintedEdit(page, "NameTxt", "Name is your full name.");
  MailAddressTxt = HintedEdit(page, "MailAddressTxt", "Your electronic mail address.");
  LeaveMail = Named(new QCheckBox("Leave mail on server", page), "LeaveMail");
}

void ServerFields::AddServerRows(QFormLayout* form) const {
  form->addRow("Send mail server:", SendSvrTxt);
  form->addRow("Send mail port:", SendSvrPortTxt);
  form->addRow("Mail server:", MailServerTxt);
  form->addRow("Mail server port:", ServerPortTxt);
  form->addRow("User name:", UserNameTxt);
  form->addRow("Password:", PasswordTxt);
  form->addRow("Name:", NameTxt);
  form->addRow("Email address:", MailAddressTxt);
}

void ServerFields::LoadServerFields(const Settings& s) {
  if (!s.SendPort.empty()) SetFieldBytes(SendSvrPortTxt, s.SendPort, FieldKind::kText);
  if (!s.MailPort.empty()) SetFieldBytes(ServerPortTxt, s.MailPort, FieldKind::kText);
  const std::pair<QLineEdit*, std::string> texts[] = {{SendSvrTxt, s.SendServer}, {MailServerTxt, s.MailServer},
                                                      {UserNameTxt, s.UserName},   {NameTxt, s.MyName},
                                                      {MailAddressTxt, s.MailAddress}};
  for (const auto& [edit, bytes] : texts) SetFieldBytes(edit, bytes, FieldKind::kText);
  LeaveMail->setChecked(s.LeaveMailOnServer);
}

void ServerFields::StoreServerFields(Settings& s) const {
  s.SendServer = FieldBytes(SendSvrTxt, FieldKind::kText);
  s.SendPort = FieldBytes(SendSvrPortTxt, FieldKind::kText);
  s.MailServer = FieldBytes(MailServerTxt, FieldKind::kText);
  s.MailPort = FieldBytes(ServerPortTxt, FieldKind::kText);
  s.UserName = FieldBytes(UserNameTxt, FieldKind::kText);
  s.MyName = FieldBytes(NameTxt, FieldKind::kText);
  s.MailAddress = FieldBytes(MailAddressTxt, FieldKind::kText);
  s.LeaveMailOnServer = LeaveMail->isChecked();
}

}  // namespace corvelle
