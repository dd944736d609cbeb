#include "send_mail_fixture.h"

#include <algorithm>

#include "core/settings.h"
#include "support/temp_dir.h"

namespace corvelle::testing {

bool RecordingStatus::Showed(const std::string& line) const {
  return std::any_of(history.begin(), history.end(), [&line](const std::vector<std::string>& lines) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  });
}

SendMailFixture::SendMailFixture() {
  MakeTree();
  MailSettings.SendServer = "mail.example";
  MailSettings.SendPort = "25";
  MailSettings.MailAddress = "self@site";
}

std::unique_ptr<TSendMail> SendMailFixture::NewSender(int timeout_seconds) {
  auto sender = std::make_unique<TSendMail>();
  sender->InitStatus(&status);
  sender->Timeout = timeout_seconds;
  return sender;
}

std::string SendMailFixture::Spool(const std::string& name, const std::string& data) {
  std::string path = mail_dir + "Spool/" + name;
  WriteFile(path, data);
  return path;
}

std::vector<std::string> SendMailFixture::Names(const std::string& folder) const {
  return ListNames(mail_dir + folder);
}

std::string SendMailFixture::SentCopy() const {
  std::vector<std::string> names = Names("Sent Mail");
  if (names.empty()) return "<none>";
  if (names.size() > 1) return "<several>";
  return ReadFile(mail_dir + "Sent Mail/" + names[0]);
}

}  // namespace corvelle::testing
