// TGetMail over real loopback connections against tiny scripted servers, one per fault:
// what a real server will not do on demand (stall, hang up, never answer QUIT, trickle).

#include <gtest/gtest.h>

#include <chrono>

#include "core/settings.h"
#include "net/get_mail.h"
#include "pop3_dialogue.h"
#include "scripted_server.h"
#include "support/mail_fixture.h"

namespace corvelle {
namespace {

using testing::Pop3Dialogue;
using testing::ScriptedServer;
using Clock = std::chrono::steady_clock;

const std::string kFirst = "From: ann@site\r\nSubject: one\r\n\r\nHello.\r\n";
const std::string kSecond = "From: bob@site\r\nSubject: two\r\n\r\nBye.\r\n";

class GetMailFaultsTest : public testing::MailFixture {
 protected:
  void SetUp() override {
    MakeTree();
    MailSettings.MailServer = "127.0.0.1";
    MailSettings.UserName = "joe";
    MailSettings.PassWord = EncodePassword("secret");
    MailSettings.LeaveMailOnServer = "0";
  }

  // Runs a whole retrieval against a server playing `dialogue`; the watchdog at 1 second.
  void Fetch(const Pop3Dialogue& dialogue, ScriptedServer::Options options = {}, int timeout = 1) {
    server = std::make_unique<ScriptedServer>(dialogue.steps(), options);
    MailSettings.MailPort = server->Port();
    mail = std::make_unique<TGetMail>();
    mail->Timeout = timeout;
    auto start = Clock::now();
    mail->GetNewMail(received, skipped);
    elapsed = Clock::now() - start;
    EXPECT_TRUE(server->WaitDone());
  }
  std::vector<std::string> Spool() { return testing::ListNames(mail_dir + "Spool"); }
  std::string SpoolFile(const std::string& name) { return testing::ReadFile(mail_dir + "Spool/" + name); }

  std::unique_ptr<ScriptedServer> server;
  std::unique_ptr<TGetMail> mail;
  int received = -1, skipped = -1;
  Clock::duration elapsed{};
};

TEST_F(GetMailFaultsTest, AServerThatStallsInsideAMessageTripsTheWatchdog) {
  Fetch(Pop3Dialogue().Login(2).Retr(1, kFirst).Dele(1).C("RETR 2").S("+OK 40 octets").S("From: bob@site").Stall());
  EXPECT_LT(elapsed, std::chrono::seconds(10));
  EXPECT_EQ(Spool(), std::vector<std::string>{"0.new"});
  EXPECT_EQ(SpoolFile("0.new"), kFirst);
  EXPECT_EQ(received, 1);
  EXPECT_EQ(skipped, 1);
  EXPECT_TRUE(mail->ErrorFlag);
  EXPECT_EQ(mail->LastError, "Blocking call timed out");
  EXPECT_EQ(server->Received().find("QUIT"), std::string::npos);  // the deletion is not committed
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(GetMailFaultsTest, AServerThatNeverAnswersQuitDoesNotHangTheRun) {
  Fetch(Pop3Dialogue().Login(1).Retr(1, kFirst).Dele(1).C("QUIT").Stall());
  EXPECT_TRUE(server->Finished());
  EXPECT_LT(elapsed, std::chrono::seconds(10));
  EXPECT_EQ(SpoolFile("0.new"), kFirst);
  EXPECT_EQ(received, 1);
  EXPECT_TRUE(mail->ErrorFlag);  // whether the server committed is unknown
  EXPECT_FALSE(mail->IsConnected());
}

TEST_F(GetMailFaultsTest, QuitIsAnsweredBeforeTheConnectionCloses) {
  Fetch(Pop3Dialogue().Login(1).Retr(1, kFirst).Dele(1).Quit());
  EXPECT_TRUE(server->Finished());
  EXPECT_TRUE(server->Problems().empty()) << server->Problems()[0];
  EXPECT_FALSE(mail->ErrorFlag);
  EXPECT_EQ(received, 1);
}

TEST_F(GetMailFaultsTest, ADisconnectInsideAMessageLosesNothing) {
  Fetch(Pop3Dialogue().Login(2).Retr(1, kFirst).Dele(1).C("RETR 2").S("+OK 40 octets").Raw("From: bob@si").Close());
  EXPECT_LT(elapsed, std::chrono::seconds(10));
  EXPECT_EQ(Spool(), std::vector<std::string>{"0.new"});
  EXPECT_EQ(received, 1);
  EXPECT_EQ(skipped, 1);
  EXPECT_TRUE(mail->ErrorFlag);
  EXPECT_EQ(mail->LastError, "Connection reset by peer");
}

TEST_F(GetMailFaultsTest, ADisconnectAfterTheGreetingIsATransmissionError) {
  Fetch(Pop3Dialogue().S("+OK hello").C("USER joe").Close());
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{"Transmission error occurred."});
  EXPECT_TRUE(mail->ErrorFlag);
  EXPECT_EQ(received, 0);
}

TEST_F(GetMailFaultsTest, ATrickledSessionStoresTheSameBytes) {
  std::string tricky = "Subject: t\r\n\r\n.lead\r\n" + std::string(700, 'y') + "\r\n" + std::string("\xFE\0\r\n", 4);
  ScriptedServer::Options options;
  options.trickle = true;
  Fetch(Pop3Dialogue().Login(1).Retr(1, tricky).Dele(1).Quit(), options);
  EXPECT_TRUE(server->Finished());
  EXPECT_EQ(SpoolFile("0.new"), tricky);
}

TEST_F(GetMailFaultsTest, CancelWhileTheServerIsSilentEndsAtOnce) {
  bool pressed = false;
  int logged_in_at = -1;
  ui.on_events = [&] {
    if (logged_in_at < 0 && mail->LoggedIn) logged_in_at = ui.events_processed;
    // Some 30 slices into the wait for the message (a few events come before it).
    if (!pressed && logged_in_at >= 0 && ui.events_processed > logged_in_at + 30) {
      pressed = true;  // Cancel current, while the server says nothing
      mail->ErrorFlag = true;
      mail->CancelListen();
    }
  };
  Fetch(Pop3Dialogue().Login(2).C("RETR 1").S("+OK 40 octets").Stall(), {}, 60);
  EXPECT_TRUE(pressed);
  EXPECT_LT(elapsed, std::chrono::seconds(10));
  EXPECT_TRUE(Spool().empty());
  EXPECT_EQ(received, 0);
  EXPECT_TRUE(mail->ErrorFlag);
  EXPECT_EQ(server->Received().find("DELE"), std::string::npos);
}

TEST_F(GetMailFaultsTest, WorksOverIPv6) {
  MailSettings.MailServer = "::1";
  ScriptedServer::Options options;
  options.ipv6 = true;
  Fetch(Pop3Dialogue().Login(1).Retr(1, kSecond).Dele(1).Quit(), options);
  EXPECT_TRUE(server->Finished());
  EXPECT_EQ(SpoolFile("0.new"), kSecond);
}

TEST_F(GetMailFaultsTest, ARefusedConnectionSaysSo) {
  int port;
  {
    ScriptedServer gone("");
    port = gone.port();
  }
  MailSettings.MailPort = std::to_string(port);
  TGetMail refused;
  refused.GetNewMail(received, skipped);
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{"Could not connect to host."});
  EXPECT_EQ(refused.LastError, "Connection refused");
  EXPECT_TRUE(refused.ErrorFlag);
  EXPECT_EQ(received, 0);
}

}  // namespace
}  // namespace corvelle
