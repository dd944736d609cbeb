// TGetMail against the sandbox's real Dovecot POP3 server.

#include <gtest/gtest.h>

#include <algorithm>

#include "core/settings.h"
#include "net/get_mail.h"
#include "sandbox.h"
#include "support/mail_fixture.h"

namespace corvelle {
namespace {

class SandboxGetMail : public testing::MailFixture {
 protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(testing::FindSandbox(sandbox, why)) << why;
    MakeTree();
    maildir = testing::NewSandboxUser(sandbox, ::testing::UnitTest::GetInstance()->current_test_info()->name(), user);
    MailSettings.MailServer = sandbox.host;
    MailSettings.MailPort = sandbox.pop3_port;
    MailSettings.UserName = user;
    MailSettings.PassWord = EncodePassword(sandbox.password);
    MailSettings.LeaveMailOnServer = "0";
  }

  void Fetch() {
    TGetMail mail;
    mail.GetNewMail(received, skipped);
    error_flag = mail.ErrorFlag;
  }
  // The contents of the spool files, sorted.
  std::vector<std::string> Stored() {
    std::vector<std::string> contents;
    for (const std::string& name : testing::ListNames(mail_dir + "Spool"))
      contents.push_back(testing::ReadFile(mail_dir + "Spool/" + name));
    std::sort(contents.begin(), contents.end());
    return contents;
  }

  testing::Sandbox sandbox;
  std::string user, maildir;
  int received = -1, skipped = -1;
  bool error_flag = true;
};

std::vector<std::string> Messages() {
  return {
      "From: ann@site\r\nSubject: long line\r\n\r\n" + std::string(2000, 'L') + "\r\nshort\r\n",
      "From: bob@site\r\nSubject: dots\r\n\r\n.\r\n..\r\n.x\r\n..y\r\nend.\r\n",
      std::string("From: c\xE9@site\r\nSubject: 8-bit \xFC\xFF\r\n\r\n\xE4\x80\x01 and a NUL \0 here\r\n", 58),
      "From: dan@site\r\nSubject: empty body\r\n\r\n",
  };
}

TEST_F(SandboxGetMail, FetchesEveryMessageByteForByteAndDeletesIt) {
  std::vector<std::string> messages = Messages();
  for (const std::string& message : messages) testing::DeliverToMaildir(maildir, message);
  Fetch();
  EXPECT_EQ(received, 4);
  EXPECT_EQ(skipped, 0);
  EXPECT_FALSE(error_flag);
  std::sort(messages.begin(), messages.end());
  EXPECT_EQ(Stored(), messages);
  EXPECT_TRUE(testing::MaildirMessages(maildir).empty());
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(SandboxGetMail, LeaveMailOnServerFetchesTheSameMessagesAgain) {
  MailSettings.LeaveMailOnServer = "1";
  std::vector<std::string> messages = Messages();
  for (const std::string& message : messages) testing::DeliverToMaildir(maildir, message);
  Fetch();
  EXPECT_EQ(received, 4);
  Fetch();
  EXPECT_EQ(received, 4);
  EXPECT_EQ(Stored().size(), 8u);
  EXPECT_EQ(testing::MaildirMessages(maildir).size(), 4u);
}

TEST_F(SandboxGetMail, AWrongPasswordStoresAndDeletesNothing) {
  testing::DeliverToMaildir(maildir, Messages()[1]);
  MailSettings.PassWord = EncodePassword("not the password");
  Fetch();
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{"Invalid password or another mail session active."});
  EXPECT_TRUE(error_flag);
  EXPECT_EQ(received, 0);
  EXPECT_TRUE(Stored().empty());
  EXPECT_EQ(testing::MaildirMessages(maildir).size(), 1u);
}

TEST_F(SandboxGetMail, AnEmptyMailboxIsNoError) {
  Fetch();
  EXPECT_EQ(received, 0);
  EXPECT_EQ(skipped, 0);
  EXPECT_FALSE(error_flag);
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(SandboxGetMail, TheNetworkLogHoldsTheExactLines) {
  std::string message = "Subject: log\r\n\r\nbody\r\n";
  testing::DeliverToMaildir(maildir, message);
  Fetch();
  std::string size = std::to_string(message.size());
  std::string log = testing::ReadFile(mail_dir + "System/netlog.txt");
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

}  // namespace
}  // namespace corvelle
