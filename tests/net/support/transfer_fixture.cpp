#include "net/support/transfer_fixture.h"

#include <algorithm>

#include "core/settings.h"
#include "net/support/dialogue.h"
#include "support/temp_dir.h"

namespace corvelle::testing {

bool RecordingStatus::Showed(const std::string& line) const {
  return std::any_of(history.begin(), history.end(), [&line](const Strings& lines) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  });
}

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
  std::string path = mail_dir + "Spool/" + name;
  WriteFile(path, data);
  return path;
}

Strings TransferFixture::Names(const std::string& folder) const { return ListNames(mail_dir + folder); }

Strings TransferFixture::Contents(const std::string& folder) const {
  Strings contents;
  for (const std::string& name : Names(folder)) contents.push_back(ReadFile(mail_dir + folder + "/" + name));
  std::sort(contents.begin(), contents.end());
  return contents;
}

std::string TransferFixture::SentCopy() const {
  Strings names = Names("Sent Mail");
  if (names.empty()) return "<none>";
  if (names.size() > 1) return "<several>";
  return ReadFile(mail_dir + "Sent Mail/" + names[0]);
}

std::string Envelope(const std::string& recipient) {
  return "C: helo [127.0.0.1]\nS: 250 hi\nC: mail from:<self@site>\nS: 250 Ok\nC: rcpt to:<" + recipient +
         ">\nS: 250 Ok\n";
}

std::string Data(const std::string& wire, const std::string& reply) {
  std::string script = "C: data\nS: 354 go on\n";
  for (size_t at = 0; at < wire.size();) {
    size_t end = wire.find("\r\n", at);
    script += "C: " + Escape(wire.substr(at, end - at)) + "\n";
    at = end + 2;
  }
  return script + "C: .\nS: " + reply + "\n";
}

}  // namespace corvelle::testing
