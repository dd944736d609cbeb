// TGetMail and TSendMail against the sandbox's real servers: Dovecot for POP3, and an SMTP
// server that delivers into the Maildir Dovecot serves, so what was sent is read back byte
// for byte, from the Maildir and through POP3.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

#include "core/settings.h"
#include "net/pop3/get_mail.h"
#include "net/smtp/send_mail.h"
#include "net/support/sandbox.h"
#include "net/support/transfer_fixture.h"

namespace corvelle {
namespace {

using testing::ReadFile;
using testing::Strings;

class SandboxMail : public testing::TransferFixture {
 protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(testing::FindSandbox(sandbox, why)) << why;
    maildir = testing::NewSandboxUser(sandbox, ::testing::UnitTest::GetInstance()->current_test_info()->name(), user);
    MailSettings.SendServer = MailSettings.MailServer = sandbox.host;
    MailSettings.SendPort = sandbox.smtp_port;
    MailSettings.MailPort = sandbox.pop3_port;
    MailSettings.UserName = user;
    MailSettings.PassWord = EncodePassword(sandbox.password);
  }

  void Fetch() {
    TGetMail mail;
    mail.GetNewMail(received, skipped);
    error_flag = mail.ErrorFlag;
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
    for (std::string line; std::getline(in, line);)
      if (line.find("\"" + user + "\"") != std::string::npos) lines.push_back(line);
    return lines;
  }
  std::string To() const { return "To: " + user + "@sandbox.invalid\r\n"; }

  testing::Sandbox sandbox;
  std::string user, maildir;
  int received = -1, skipped = -1;
  bool error_flag = true;
};

Strings Messages() {
  return {
      "From: ann@site\r\nSubject: long line\r\n\r\n" + std::string(2000, 'L') + "\r\nshort\r\n",
      "From: bob@site\r\nSubject: dots\r\n\r\n.\r\n..\r\n.x\r\n..y\r\nend.\r\n",
      std::string("From: c\xE9@site\r\nSubject: 8-bit \xFC\xFF\r\n\r\n\xE4\x80\x01 and a NUL \0 here\r\n", 58),
      "From: dan@site\r\nSubject: empty body\r\n\r\n",
  };
}

TEST_F(SandboxMail, FetchesEveryMessageByteForByteAndDeletesIt) {
  Strings messages = Messages();
  for (const std::string& message : messages) testing::DeliverToMaildir(maildir, message);
  Fetch();
  EXPECT_EQ(received, 4);
  EXPECT_EQ(skipped, 0);
  EXPECT_FALSE(error_flag);
  std::sort(messages.begin(), messages.end());
  EXPECT_EQ(Contents("Spool"), messages);
  EXPECT_TRUE(testing::MaildirMessages(maildir).empty());
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(SandboxMail, LeaveMailOnServerFetchesTheSameMessagesAgain) {
  MailSettings.LeaveMailOnServer = "1";
  Fetch();  // an empty mailbox is no error
  EXPECT_EQ(received, 0);
  EXPECT_EQ(skipped, 0);
  EXPECT_FALSE(error_flag);
  EXPECT_TRUE(ui.boxes.empty());
  for (const std::string& message : Messages()) testing::DeliverToMaildir(maildir, message);
  Fetch();
  EXPECT_EQ(received, 4);
  Fetch();
  EXPECT_EQ(received, 4);
  EXPECT_EQ(Names("Spool").size(), 8u);
  EXPECT_EQ(testing::MaildirMessages(maildir).size(), 4u);
}

TEST_F(SandboxMail, AWrongPasswordStoresAndDeletesNothing) {
  testing::DeliverToMaildir(maildir, Messages()[1]);
  MailSettings.PassWord = EncodePassword("not the password");
  Fetch();
  EXPECT_EQ(ui.Texts(), Strings{"Invalid password or another mail session active."});
  EXPECT_TRUE(error_flag);
  EXPECT_EQ(received, 0);
  EXPECT_TRUE(Names("Spool").empty());
  EXPECT_EQ(testing::MaildirMessages(maildir).size(), 1u);
}

TEST_F(SandboxMail, TheNetworkLogHoldsTheExactLines) {
  std::string message = "Subject: log\r\n\r\nbody\r\n";
  testing::DeliverToMaildir(maildir, message);
  Fetch();
  std::string size = std::to_string(message.size());
  std::string log = ReadFile(mail_dir + "System/netlog.txt");
  // The greeting is the server's own text; every other line is exact.
  size_t greeting = log.find("\r\n") + 2;
  size_t greeting_end = log.find("\r\n", greeting);
  ASSERT_NE(greeting_end, std::string::npos);
  EXPECT_EQ(log.substr(greeting, 6), "> +OK ");
  log.replace(greeting, greeting_end - greeting, "> greeting");
  EXPECT_EQ(log, "Connecting to: " + sandbox.host + " " + sandbox.pop3_port + "\r\n" +
                     "> greeting\r\n"
                     "< USER " + user + "\r\n\r\n"
                     "> +OK\r\n"
                     "> +OK Logged in.\r\n"
                     "STAT\r\n\r\n"
                     "+OK 1 " + size + "\r\n"
                     "RETR 1\r\n\r\n"
                     "+OK " + size + " octets\r\n"
                     "Found file size: " + size + "\r\n"
                     "DELE 1\r\n\r\n"
                     "+OK Marked to be deleted.\r\n"
                     "QUIT\r\n");
}

TEST_F(SandboxMail, SpooledMessagesArriveByteForByte) {
  Strings messages = {
      To() + "Subject: long lines\r\n\r\n" + std::string(997, 'a') + "\r\n" + std::string(998, 'b') + "\r\n." +
          std::string(996, 'c') + "\r\nshort\r\n",  // 998 characters on the wire, the longest allowed
      To() + "Subject: dots\r\n\r\n.\r\n..\r\n.x\r\n..y\r\n . \r\nend.\r\n.\r\n",
      To() + "Subject: 8-bit \xFC\xFF\r\n\r\n\xE4\x80\x01 bytes \xFF\xFE\r\n" + std::string(1, '\0') + " a NUL\r\n",
      To() + "Subject: empty body\r\n\r\n",
      To() + "Subject: header only, no empty line\r\n",
  };
  for (size_t i = 0; i < messages.size(); ++i) Spool(std::to_string(i) + ".out", messages[i]);
  // A file with bare line feeds and no end goes out with CR LF line ends.
  Spool("5.out", To() + "Subject: bare LF and no end\r\n\r\nunix\nline\n.dot\nlast");
  messages.push_back(To() + "Subject: bare LF and no end\r\n\r\nunix\r\nline\r\n.dot\r\nlast\r\n");
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

TEST_F(SandboxMail, WindowMessageToSeveralRecipientsOfALongToLine) {
  // One "To:" line of well over 255 characters, its last address this test's user.
  std::string to = "To: ";
  for (int i = 0; i < 12; ++i)
    to += "Somebody With A Long Name " + std::to_string(i) + " <other" + std::to_string(i) + "@sandbox.invalid>, ";
  to += "\"Last, The\" <" + user + "@sandbox.invalid>";
  ASSERT_GT(to.size(), 255u);
  Strings lines = {to, "Subject: many", "", "hello"};

  EXPECT_EQ(NewSender(20)->SendOneMailMessage("", &lines), kSendDelivered);

  EXPECT_EQ(ui.Texts(), Strings{});
  EXPECT_EQ(Delivered(), Strings{to + "\r\nSubject: many\r\n\r\nhello\r\n"});
  Strings log = Deliveries();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_NE(log[0].find("\"other0@sandbox.invalid\""), std::string::npos);
  EXPECT_NE(log[0].find("\"other11@sandbox.invalid\""), std::string::npos);
  EXPECT_EQ(SentCopy(), to + "\r\nSubject: many\r\n\r\nhello\r\n");
}

TEST_F(SandboxMail, SentMailComesBackThroughPop3Unchanged) {
  Strings messages = {
      To() + "Subject: round trip\r\n\r\n.\r\n..two\r\n" + std::string(990, 'r') + "\r\n\xE9\xFF\r\n",
      To() + "Subject: empty\r\n\r\n",
  };
  for (size_t i = 0; i < messages.size(); ++i) Spool(std::to_string(i) + ".out", messages[i]);
  ASSERT_EQ(NewSender(20)->SendOutGoingMail(), 2);
  Fetch();
  EXPECT_EQ(received, 2);
  EXPECT_EQ(skipped, 0);
  std::sort(messages.begin(), messages.end());
  EXPECT_EQ(Contents("Spool"), messages);
}

}  // namespace
}  // namespace corvelle
