// TSendMail against the sandbox's real SMTP server, which delivers into the Maildir that the
// sandbox's Dovecot serves: what was sent is read back byte for byte, from the Maildir and
// through POP3.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "core/settings.h"
#include "net/get_mail.h"
#include "net/send_mail.h"
#include "sandbox.h"
#include "send_mail_fixture.h"
#include "support/temp_dir.h"

namespace corvelle {
namespace {

using testing::ReadFile;
using Strings = std::vector<std::string>;

class SandboxSendMail : public testing::SendMailFixture {
 protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(testing::FindSandbox(sandbox, why)) << why;
    maildir = testing::NewSandboxUser(sandbox, ::testing::UnitTest::GetInstance()->current_test_info()->name(), user);
    MailSettings.SendServer = sandbox.host;
    MailSettings.SendPort = sandbox.smtp_port;
    MailSettings.MailAddress = "self@site";
  }

  // The messages of the user's Maildir in the order they were delivered.
  Strings Delivered() const {
    Strings names = testing::MaildirMessages(maildir);
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
      return a.substr(a.find('/')) < b.substr(b.find('/'));  // delivery time leads the name
    });
    Strings contents;
    for (const std::string& name : names) contents.push_back(ReadFile(maildir + "/" + name));
    return contents;
  }
  // The sandbox's delivery log lines for this test's user.
  Strings Deliveries() const {
    Strings lines;
    std::ifstream in(sandbox.deliveries);
    std::string line;
    while (std::getline(in, line))
      if (line.find("\"" + user + "\"") != std::string::npos) lines.push_back(line);
    return lines;
  }
  std::string To() const { return "To: " + user + "@sandbox.invalid\r\n"; }

  testing::Sandbox sandbox;
  std::string user, maildir;
};

TEST_F(SandboxSendMail, SpooledMessagesArriveByteForByte) {
  const Strings messages = {
      To() + "Subject: long lines\r\n\r\n" + std::string(997, 'a') + "\r\n" + std::string(998, 'b') + "\r\n." +
          std::string(996, 'c') + "\r\nshort\r\n",  // 998 characters on the wire, the longest allowed
      To() + "Subject: dots\r\n\r\n.\r\n..\r\n.x\r\n..y\r\n . \r\nend.\r\n.\r\n",
      To() + "Subject: 8-bit \xFC\xFF\r\n\r\n\xE4\x80\x01 bytes \xFF\xFE\r\n" + std::string(1, '\0') + " a NUL\r\n",
      To() + "Subject: empty body\r\n\r\n",
      To() + "Subject: header only, no empty line\r\n",
  };
  for (size_t i = 0; i < messages.size(); ++i) Spool(std::to_string(i) + ".out", messages[i]);
  auto sender = NewSender(20);

  EXPECT_EQ(sender->SendOutGoingMail(), static_cast<int>(messages.size()));

  EXPECT_EQ(ui.Texts(), Strings{});
  EXPECT_EQ(Names("Spool"), Strings{});
  EXPECT_EQ(Names("Sent Mail").size(), messages.size());
  EXPECT_EQ(Delivered(), messages);
  Strings log = Deliveries();
  ASSERT_EQ(log.size(), messages.size());
  for (const std::string& line : log) {
    EXPECT_NE(line.find("\"helo\": \"[127.0.0.1]\""), std::string::npos) << line;
    EXPECT_NE(line.find("\"mail_from\": \"self@site\""), std::string::npos) << line;
    EXPECT_NE(line.find("\"rcpt_tos\": [\"" + user + "@sandbox.invalid\"]"), std::string::npos) << line;
  }
}

TEST_F(SandboxSendMail, FileEndingsAreMadeCrLfOnTheWire) {
  Spool("0.out", To() + "Subject: bare LF and no end\r\n\r\nunix\nline\n.dot\nlast");
  auto sender = NewSender(20);
  EXPECT_EQ(sender->SendOutGoingMail(), 1);
  EXPECT_EQ(Delivered(), Strings{To() + "Subject: bare LF and no end\r\n\r\nunix\r\nline\r\n.dot\r\nlast\r\n"});
}

TEST_F(SandboxSendMail, WindowMessageToSeveralRecipientsOfALongToLine) {
  // One "To:" line of well over 255 characters, its last address this test's user.
  std::string to = "To: ";
  for (int i = 0; i < 12; ++i) to += "Somebody With A Long Name " + std::to_string(i) + " <other" + std::to_string(i) + "@sandbox.invalid>, ";
  to += "\"Last, The\" <" + user + "@sandbox.invalid>";
  ASSERT_GT(to.size(), 255u);
  Strings lines = {to, "Subject: many", "", "hello"};
  auto sender = NewSender(20);

  EXPECT_EQ(sender->SendOneMailMessage("", &lines), kSendDelivered);

  EXPECT_EQ(ui.Texts(), Strings{});
  EXPECT_EQ(Delivered(), Strings{to + "\r\nSubject: many\r\n\r\nhello\r\n"});
  Strings log = Deliveries();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("\"other0@sandbox.invalid\""), std::string::npos);
  EXPECT_NE(log[0].find("\"other11@sandbox.invalid\""), std::string::npos);
  EXPECT_EQ(SentCopy(), to + "\r\nSubject: many\r\n\r\nhello\r\n");
}

TEST_F(SandboxSendMail, SentMailComesBackThroughPop3Unchanged) {
  const Strings messages = {
      To() + "Subject: round trip\r\n\r\n.\r\n..two\r\n" + std::string(990, 'r') + "\r\n\xE9\xFF\r\n",
      To() + "Subject: empty\r\n\r\n",
  };
  for (size_t i = 0; i < messages.size(); ++i) Spool(std::to_string(i) + ".out", messages[i]);
  {
    auto sender = NewSender(20);
    ASSERT_EQ(sender->SendOutGoingMail(), 2);
  }
  MailSettings.MailServer = sandbox.host;
  MailSettings.MailPort = sandbox.pop3_port;
  MailSettings.UserName = user;
  MailSettings.PassWord = EncodePassword(sandbox.password);
  MailSettings.LeaveMailOnServer = "0";
  int received = 0, skipped = 0;
  TGetMail pop;
  pop.GetNewMail(received, skipped);
  EXPECT_EQ(received, 2);
  EXPECT_EQ(skipped, 0);
  Strings fetched;
  for (const std::string& name : Names("Spool")) fetched.push_back(ReadFile(mail_dir + "Spool/" + name));
  std::sort(fetched.begin(), fetched.end());
  Strings expected = messages;
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(fetched, expected);
}

}  // namespace
}  // namespace corvelle
