#include "net/support/transfer_fixture.h"

#include "core/settings.h"
#include "net/support/dialogue.h"

namespace corvelle::testing {

TransferFixture::TransferFixture() {
  MakeTree();
  SetUserSettings();
  MailSettings.LeaveMailOnServer = "0";
}

std::unique_ptr<TSendMail> TransferFixture::NewSender(int timeout_seconds) {
  auto sender = std::make_unique<TSendMail>();
  sender->InitStatus(&status);
  sender->Timeout = timeout_seconds;
  return sender;
}

std::string TransferFixture::Spool(const std::string& name, const std::string& data) {
  WriteFile(mail_dir + "Spool/" + name, data);
  return mail_dir + "Spool/" + name;
}

Strings TransferFixture::Contents(const std::string& folder) const {
  Strings contents;
  for (const std::string& name : Names(folder)) contents.push_back(ReadFile(mail_dir + folder + "/" + name));
  std::sort(contents.begin(), contents.end());
  return contents;
}

std::string TransferFixture::SentCopy() const {
  Strings names = Names("Sent Mail");
  return names.empty() ? "<none>" : names.size() > 1 ? "<several>" : ReadFile(mail_dir + "Sent Mail/" + names[0]);
}

std::string Envelope(const std::string& recipient) {
  return "C: helo [127.0.0.1]\nS: 250 hi\nC: mail from:<self@site>\nS: 250 Ok\nC: rcpt to:<" + recipient +
         ">\nS: 250 Ok\n";
}

std::string Data(const std::string& wire, const std::string& reply) {
  std::string script = "C: data\nS: 354 go on\n";
  for (size_t at = 0, end; at < wire.size(); at = end + 2) {
    end = wire.find("\r\n", at);
    script += "C: " + Escape(wire.substr(at, end - at)) + "\n";
  }
  return script + "C: .\nS: " + reply + "\n";
}

}  // namespace corvelle::testing
