// TSendMail against scripted TCP servers on loopback, for what real servers will not do on
// demand. After every fault: the right message, no message lost, nothing hangs.

#include "net/send_mail.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <stdexcept>

#include "core/settings.h"
#include "scripted_server.h"
#include "send_mail_fixture.h"
#include "support/temp_dir.h"

namespace corvelle {
namespace {

using testing::ReadFile;
using testing::ScriptedServer;
using Strings = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

const std::string kMessage = "To: a@x\r\nSubject: fault\r\n\r\nbody\r\n";
const std::string kEnvelope =
    "C: helo [127.0.0.1]\nS: 250 hi\nC: mail from:<self@site>\nS: 250 Ok\nC: rcpt to:<a@x>\nS: 250 Ok\n";
const std::string kText = "C: To: a@x\nC: Subject: fault\nC:\nC: body\nC: .\n";

class SendMailFaultTest : public testing::SendMailFixture {
 protected:
  // Sends the spool file "0.out" (kMessage) to `server` with a one-second watchdog; returns the
  // result and checks that it came back in good time and the server saw the client leave.
  int SendTo(ScriptedServer& server, const std::string& host = "127.0.0.1", int timeout_seconds = 1) {
    MailSettings.SendServer = host;
    MailSettings.SendPort = server.Port();
    std::string path = Spool("0.out", kMessage);
    auto sender = NewSender(timeout_seconds);
    auto start = Clock::now();
    int code = sender->SendOneMailMessage(path, nullptr);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(8)) << "the sender waited too long";
    EXPECT_TRUE(server.WaitDone()) << "the server still waits for the client";
    EXPECT_FALSE(sender->IsConnected());
    return code;
  }
  void ExpectKept() {
    EXPECT_EQ(ReadFile(mail_dir + "Spool/0.out"), kMessage);
    EXPECT_EQ(Names("Sent Mail"), Strings{});
  }
  void ExpectDelivered() {
    EXPECT_EQ(Names("Spool"), Strings{});
    EXPECT_EQ(SentCopy(), kMessage);
  }
  static void ExpectPlayed(const ScriptedServer& server) {
    EXPECT_EQ(server.Problems(), Strings{});
    EXPECT_TRUE(server.Finished());
  }
};

TEST_F(SendMailFaultTest, MultiLineGreetingAndRepliesAreReadToTheirLastLine) {
  ScriptedServer server("S: 220-mail.example ESMTP\nS: 220-no UCE\nS: 220 ready\n"
                        "C: helo [127.0.0.1]\nS: 250-mail.example\nS: 250-" + std::string(300, 'p') + "\nS: 250 HELP\n"
                        "C: mail from:<self@site>\nS: 250 Ok\nC: rcpt to:<a@x>\nS: 250 Ok\nC: data\nS: 354 go\n" +
                        kText + "S: 250 Ok\nC: QUIT\nS: 221 bye\n");
  EXPECT_EQ(SendTo(server), kSendDelivered);
  ExpectPlayed(server);
  EXPECT_EQ(ui.Texts(), Strings{});
  ExpectDelivered();
}

TEST_F(SendMailFaultTest, AReplyLineOfMoreThan255BytesIsOneLine) {
  // Cut at 255 bytes, the rest would be read as the reply to the next command.
  ScriptedServer server("S: 220 " + std::string(400, 'g') + "\nC: helo [127.0.0.1]\nS: 250 " + std::string(700, 'h') +
                        "\nC: mail from:<self@site>\nS: 250 Ok\nC: rcpt to:<a@x>\nS: 250 Ok\nC: data\nS: 354 go\n" +
                        kText + "S: 250 " + std::string(1000, 'q') + "\nC: QUIT\n");
  EXPECT_EQ(SendTo(server), kSendDelivered);
  ExpectPlayed(server);
  ExpectDelivered();
}

TEST_F(SendMailFaultTest, GarbageAndNulBytesAreNoGreeting) {
  ScriptedServer server("S: \\0\\0\\xff\\x01 garbage\nC: QUIT\n");
  EXPECT_EQ(SendTo(server), kSendNoConnection);
  ExpectPlayed(server);
  EXPECT_EQ(ui.Texts(), Strings{"Could not connect to SMTP server."});
  ExpectKept();
}

TEST_F(SendMailFaultTest, GarbageForAHeloReplyIsARefusal) {
  ScriptedServer server("S: 220 ready\nC: helo [127.0.0.1]\nS: \\x8f\\0250 OK\nC: QUIT\n");
  EXPECT_EQ(SendTo(server), kSendGreetingRefused);
  ExpectPlayed(server);
  EXPECT_EQ(ui.Texts(), Strings{"Mail server did not accept greeting."});
  ExpectKept();
}

TEST_F(SendMailFaultTest, AServerThatClosesAfterTheGreetingEndsTheSending) {
  ScriptedServer server("S: 220 ready\nC: helo [127.0.0.1]\nCLOSE\n");
  EXPECT_EQ(SendTo(server), kSendGreetingRefused);
  ExpectPlayed(server);
  EXPECT_EQ(ui.Texts(), Strings{"Transfer error: Connection reset by peer"});
  ExpectKept();
}

TEST_F(SendMailFaultTest, AServerThatClosesBeforeGreetingIsNoConnection) {
  ScriptedServer server("CLOSE\n");
  EXPECT_EQ(SendTo(server), kSendNoConnection);
  EXPECT_EQ(ui.Texts(), Strings{"Could not connect to SMTP server."});
  ExpectKept();
}

TEST_F(SendMailFaultTest, ADisconnectInsideDataKeepsTheMessage) {
  ScriptedServer server("S: 220 ready\n" + kEnvelope + "C: data\nS: 354 go\nC: To: a@x\nCLOSE\n");
  EXPECT_EQ(SendTo(server), kSendNotReceived);
  ExpectPlayed(server);
  ASSERT_EQ(ui.Texts().size(), 1u);
  EXPECT_EQ(ui.Texts()[0].rfind("Transfer error: ", 0), 0u) << ui.Texts()[0];
  ExpectKept();
}

TEST_F(SendMailFaultTest, AStallBeforeTheReplyIsEndedByTheWatchdog) {
  ScriptedServer server("S: 220 ready\nC: helo [127.0.0.1]\nS: 250 hi\nC: mail from:<self@site>\nSTALL\n");
  EXPECT_EQ(SendTo(server), kSendSenderRefused);
  ExpectPlayed(server);
  EXPECT_EQ(ui.Texts(), Strings{"Transfer error: Blocking call timed out"});
  ExpectKept();
}

TEST_F(SendMailFaultTest, AStallAfterTheEndOfDataKeepsTheMessage) {
  // Whether the server kept it is unknown: the message stays spooled rather than being lost.
  ScriptedServer server("S: 220 ready\n" + kEnvelope + "C: data\nS: 354 go\n" + kText + "STALL\n");
  EXPECT_EQ(SendTo(server), kSendNotReceived);
  ExpectPlayed(server);
  EXPECT_EQ(ui.Texts(), Strings{"Transfer error: Blocking call timed out"});
  ExpectKept();
}

TEST_F(SendMailFaultTest, NoReplyToQuitDoesNotHoldTheSenderUp) {
  ScriptedServer server("S: 220 ready\n" + kEnvelope + "C: data\nS: 354 go\n" + kText +
                        "S: 250 Ok\nC: QUIT\nSTALL\n");
  // With a long watchdog: waiting for QUIT's reply would show as a wait of its length.
  auto start = Clock::now();
  EXPECT_EQ(SendTo(server, "127.0.0.1", 20), kSendDelivered);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5)) << "QUIT's reply is not waited for";
  ExpectPlayed(server);
  EXPECT_EQ(ui.Texts(), Strings{});
  ExpectDelivered();
}

TEST_F(SendMailFaultTest, ARefusedSecondRecipientThenTheNextMessageOnTheSameConnection) {
  MailSettings.SendServer = "127.0.0.1";
  Spool("0.out", "To: a@x, b@x\r\n\r\nfirst\r\n");
  Spool("1.out", "To: c@x\r\n\r\nsecond\r\n");
  ScriptedServer server(
      "S: 220 ready\nC: helo [127.0.0.1]\nS: 250 hi\nC: mail from:<self@site>\nS: 250 Ok\n"
      "C: rcpt to:<a@x>\nS: 250 Ok\nC: rcpt to:<b@x>\nS: 550 5.1.1 unknown\n"
      "C: helo [127.0.0.1]\nS: 250 hi\nC: mail from:<self@site>\nS: 250 Ok\nC: rcpt to:<c@x>\nS: 250 Ok\n"
      "C: data\nS: 354 go\nC: To: c@x\nC:\nC: second\nC: .\nS: 250 Ok\nC: QUIT\n");
  MailSettings.SendPort = server.Port();
  auto sender = NewSender(1);
  EXPECT_EQ(sender->SendOutGoingMail(), 1);
  EXPECT_TRUE(server.WaitDone());
  ExpectPlayed(server);
  EXPECT_EQ(server.Connections(), 1);
  EXPECT_EQ(ui.Texts(), Strings{"Bad \"To:\" line: mail server could not accept mail addressees."});
  EXPECT_EQ(Names("Spool"), Strings{"0.out"});
  EXPECT_EQ(SentCopy(), "To: c@x\r\n\r\nsecond\r\n");
}

TEST_F(SendMailFaultTest, AConnectionLostBetweenMessagesIsMadeAgainForTheNext) {
  MailSettings.SendServer = "127.0.0.1";
  Spool("0.out", kMessage);
  Spool("1.out", kMessage);
  ScriptedServer server("S: 220 ready\n" + kEnvelope + "C: data\nS: 354 go\nC: To: a@x\nCLOSE\n" +
                        "S: 220 again\n" + kEnvelope + "C: data\nS: 354 go\n" + kText + "S: 250 Ok\nC: QUIT\n");
  MailSettings.SendPort = server.Port();
  auto sender = NewSender(1);
  EXPECT_EQ(sender->SendOutGoingMail(), 1);
  EXPECT_TRUE(server.WaitDone());
  ExpectPlayed(server);
  EXPECT_EQ(server.Connections(), 2);
  EXPECT_EQ(Names("Spool"), Strings{"0.out"});
  EXPECT_EQ(ReadFile(mail_dir + "Spool/0.out"), kMessage);
  EXPECT_EQ(SentCopy(), kMessage);
}

TEST_F(SendMailFaultTest, OverIpv6TheHeloArgumentIsAnIpv6Literal) {
  std::optional<ScriptedServer> server;
  ScriptedServer::Options options;
  options.ipv6 = true;
  try {
    server.emplace("S: 220 ready\nC: helo [IPv6:::1]\nS: 250 hi\nC: mail from:<self@site>\nS: 250 Ok\n"
                   "C: rcpt to:<a@x>\nS: 250 Ok\nC: data\nS: 354 go\n" + kText + "S: 250 Ok\nC: QUIT\n",
                   options);
  } catch (const std::runtime_error&) {
    GTEST_SKIP() << "no IPv6 loopback here";
  }
  EXPECT_EQ(SendTo(*server, "::1"), kSendDelivered);
  ExpectPlayed(*server);
  ExpectDelivered();
}

}  // namespace
}  // namespace corvelle
