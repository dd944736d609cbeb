// TGetMail against scripted servers: the in-process fake for the protocol, and tiny TCP
// servers on loopback for what a real server will not do on demand (stall, hang up, never
// answer QUIT, trickle). After every fault: the right message, nothing lost, nothing hangs.

#include "net/get_mail.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>

#include "core/settings.h"
#include "net/fake_transport.h"
#include "pop3_dialogue.h"
#include "scripted_server.h"
#include "transfer_fixture.h"

namespace corvelle {
namespace {

using testing::Pop3Dialogue;
using testing::ScriptedServer;
using testing::Strings;
using Clock = std::chrono::steady_clock;

const std::string kFirst = "From: ann@site\r\nSubject: one\r\n\r\nHello.\r\n";
const std::string kSecond = "From: bob@site\r\nSubject: two\r\n\r\nBye.\r\n";
const std::string kNoGreeting = "POP server did not return greeting status OK.";

class GetMailTest : public testing::TransferFixture {
 protected:
  // A whole retrieval against the in-process server playing `dialogue`, from an empty spool
  // folder; `chunk` bytes at most per read.
  void Fetch(const Pop3Dialogue& dialogue, size_t chunk = 65536, int connect_result = 0) {
    Start();
    tcp.reset();
    fake = std::make_unique<FakeServer>();
    fake->AddSteps(dialogue.steps());
    fake->SetChunkSize(chunk);
    fake->SetConnectResult(connect_result);
    mail->SetTransport(fake->NewTransport());
    mail->GetNewMail(received, skipped);
  }
  // The same over loopback TCP, the watchdog at `timeout` seconds. The run must end in good
  // time and leave the server with nothing to wait for.
  void FetchOverTcp(const Pop3Dialogue& dialogue, ScriptedServer::Options options = {}, int timeout = 1) {
    fake.reset();
    tcp = std::make_unique<ScriptedServer>(dialogue.steps(), options);
    MailSettings.MailServer = options.ipv6 ? "::1" : "127.0.0.1";
    MailSettings.MailPort = tcp->Port();
    Start();
    mail->Timeout = timeout;
    auto start = Clock::now();
    mail->GetNewMail(received, skipped);
    elapsed = Clock::now() - start;
    EXPECT_LT(elapsed, std::chrono::seconds(10));
    EXPECT_TRUE(tcp->WaitDone());
  }
  void ExpectPlayed() {
    Strings problems = fake ? fake->Problems() : tcp->Problems();
    EXPECT_EQ(problems, Strings{});
    EXPECT_TRUE(fake ? fake->Finished() : tcp->Finished());
  }
  std::string Written() const { return fake ? fake->Written() : tcp->Received(); }
  std::string Log() const { return testing::ReadFile(mail_dir + "System/netlog.txt"); }
  // Runs `press` once, while message `number` is read (its header is in the status lines).
  void PressWhileReading(int number, std::function<void()> press) {
    ui.on_events = [this, number, press, pressed = false]() mutable {
      const Strings& lines = status.Lines();
      if (!pressed && lines.size() >= 2 && lines[0].rfind("Receiving message: " + std::to_string(number), 0) == 0) {
        pressed = true;
        press();
      }
    };
  }

  std::unique_ptr<FakeServer> fake;
  std::unique_ptr<ScriptedServer> tcp;
  std::unique_ptr<TGetMail> mail;
  int received = -1, skipped = -1;
  Clock::duration elapsed{};

 private:
  void Start() {
    for (const std::string& name : Names("Spool")) std::remove((mail_dir + "Spool/" + name).c_str());
    ui.boxes.clear();
    mail = std::make_unique<TGetMail>();
    mail->InitStatus(&status);
  }
};

// (When the files reach the disk, and under which names, is in get_mail_robustness_test.)
TEST_F(GetMailTest, StoresEachMessageWithItsStatusLinesAndProgress) {
  Fetch(Pop3Dialogue().Login(2).Retr(1, kFirst, "+OK 46 octets").Dele(1).Retr(2, kSecond).Dele(2).Quit());
  ExpectPlayed();
  EXPECT_EQ(received, 2);
  EXPECT_EQ(skipped, 0);
  EXPECT_EQ(Names("Spool"), (Strings{"0.new", "1.new"}));
  EXPECT_EQ(testing::ReadFile(mail_dir + "Spool/0.new"), kFirst);
  EXPECT_EQ(testing::ReadFile(mail_dir + "Spool/1.new"), kSecond);
  EXPECT_FALSE(mail->ErrorFlag);
  EXPECT_FALSE(mail->LoggedIn);
  EXPECT_TRUE(ui.boxes.empty());
  EXPECT_TRUE(status.Showed("Connecting to mail server..."));
  EXPECT_NE(std::find(status.history.begin(), status.history.end(),
                      Strings{"Receiving message: 1 of 2 (0 messages skipped).", "46 octets bytes", "From: ann@site",
                              "Subject: one"}),
            status.history.end());
  EXPECT_TRUE(status.Showed("Receiving message: 2 of 2 (0 messages skipped)."));
  EXPECT_EQ(status.Lines(), Strings{"Disconnecting from mail server..."});
  EXPECT_EQ(ui.total, (std::vector<int>{0, 50, 100, 100}));
  ASSERT_FALSE(ui.current.empty());
  EXPECT_EQ(ui.current.front(), 0);
  EXPECT_EQ(ui.current.back(), 100);
  EXPECT_NE(std::find(ui.current.begin(), ui.current.end(), 10), ui.current.end());
  EXPECT_GT(ui.events_processed, 10);
}

TEST_F(GetMailTest, AMessageIsStoredByteForByteHoweverItArrives) {
  const struct {
    const char* name;
    std::string message, wire;  // wire: the RETR reply's data when it is not `message` stuffed
  } rows[] = {
      {"long line stored whole", "Subject: long\r\n\r\n" + std::string(2000, 'x') + "\r\n", ""},
      {"leading dots unstuffed", "A: b\r\n\r\n.x\r\n..y\r\n.\r\n...\r\nz.\r\n", ""},
      {"8-bit and NUL bytes", std::string("S: \xE9\xFF\r\n\r\na\0b\x01\x7F\r\n", 16), ""},
      {"empty body", "Subject: nothing\r\n\r\n", ""},
      {"empty message", "", ""},
      {"lone CR kept", "A: b\r\n\r\nx\ry\r\n", ""},
      {"bare line feeds become CR LF", "A: b\r\n\r\nbody\r\n.dot\r\n", "A: b\n\nbody\n..dot\n.\n"},
  };
  for (const char* how : {"whole", "one byte per read", "trickled over TCP"}) {
    for (const auto& row : rows) {
      SCOPED_TRACE(std::string(row.name) + ", " + how);
      Pop3Dialogue dialogue = Pop3Dialogue().Login(1);
      if (row.wire.empty())
        dialogue.Retr(1, row.message);
      else
        dialogue.C("RETR 1").S("+OK").Raw(row.wire);
      dialogue.Dele(1).Quit();
      if (how[0] == 't')
        FetchOverTcp(dialogue, {.trickle = true});
      else
        Fetch(dialogue, how[0] == 'w' ? 65536 : 1);
      ExpectPlayed();
      EXPECT_EQ(received, 1);
      EXPECT_EQ(Contents("Spool"), Strings{row.message});
    }
  }
}

// What each server fault costs: the boxes, the counts, the files kept, and that nothing is
// committed on the server that was not stored.
TEST_F(GetMailTest, ServerFaults) {
  const std::string long_ok = "+OK " + std::string(300, 'w');
  const struct {
    const char* name;
    Pop3Dialogue dialogue;
    Strings boxes;
    int received, skipped;
    bool error;
    Strings stored;
    const char* never_sent;  // the client never sent it; "" for nothing at all
    int connect_result = 0;
  } rows[] = {
      {"refused RETR in the middle: that message is skipped",
       Pop3Dialogue().Login(3).Retr(1, kFirst).Dele(1).C("RETR 2").S("-ERR no such message").Retr(3, kSecond)
           .Dele(3).Quit(),
       {"POP server will not allow message retrieval."}, 2, 1, false, {kFirst, kSecond}, "DELE 2"},
      {"refused last message: the deletions are reset",
       Pop3Dialogue().Login(3).Retr(1, kFirst).Dele(1).Retr(2, kSecond).Dele(2).C("RETR 3").S("-ERR locked").Rset()
           .Quit(),
       {"POP server will not allow message retrieval."}, 2, 1, true, {kFirst, kSecond}, "DELE 3"},
      {"-ERR greeting: not a word more", Pop3Dialogue().S("-ERR go away").Close(), {kNoGreeting}, 0, 0, true, {}, ""},
      {"disconnect after the greeting", Pop3Dialogue().S("+OK hello").C("USER joe").Close(),
       {"Transmission error occurred."}, 0, 0, true, {}, "PASS"},
      {"wrong user name", Pop3Dialogue().S("+OK hi").C("USER joe").S("-ERR who?").C("QUIT").S("+OK").Close(),
       {"Invalid username"}, 0, 0, true, {}, "PASS"},
      {"unreadable STAT count",
       Pop3Dialogue().S("+OK").C("USER joe").S("+OK").C("PASS secret").S("+OK").C("STAT").S("+OK 3").Rset().Quit(),
       {"Server protocol error on STAT"}, 0, 0, true, {}, "RETR"},
      {"reply lines longer than 255 bytes are read whole",
       Pop3Dialogue().S(long_ok).C("USER joe").S(long_ok).C("PASS secret").S(long_ok).C("STAT")
           .S("+OK 1 100 " + std::string(300, 'z')).Retr(1, kFirst, "+OK 46 octets " + std::string(400, 'q'))
           .Dele(1).Quit(),
       {}, 1, 0, false, {kFirst}, "RSET"},
      {"no announced size: still counted as received",
       Pop3Dialogue().Login(2).Retr(1, kFirst, "+OK").Dele(1).Retr(2, kSecond, "+OK 512").Dele(2).Quit(),
       {}, 2, 0, false, {kFirst, kSecond}, "RSET"},
      {"disconnect inside a message: it stays on the server",
       Pop3Dialogue().Login(3).Retr(1, kFirst).Dele(1).C("RETR 2").S("+OK 46 octets").Raw("From: bob@si").Close(),
       {}, 1, 1, true, {kFirst}, "QUIT"},
      {"DELE never answered: the stored copy goes, the server keeps it",
       Pop3Dialogue().Login(1).Retr(1, kFirst).C("DELE 1").Close(), {}, 0, 1, true, {}, "QUIT"},
      {"unknown host", Pop3Dialogue(), {"Cannot convert host address", "Could not connect to host."}, 0, 0, true, {},
       "", 11001},
      {"refused connection", Pop3Dialogue(), {"Could not connect to host."}, 0, 0, true, {}, "", 10061},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ui.current.clear();
    Fetch(row.dialogue, 65536, row.connect_result);
    ExpectPlayed();
    EXPECT_EQ(ui.Texts(), row.boxes);
    EXPECT_EQ(received, row.received);
    EXPECT_EQ(skipped, row.skipped);
    EXPECT_EQ(mail->ErrorFlag, row.error);
    EXPECT_FALSE(mail->IsConnected());
    EXPECT_EQ(Contents("Spool"), row.stored);
    if (*row.never_sent)
      EXPECT_EQ(Written().find(row.never_sent), std::string::npos);
    else
      EXPECT_EQ(Written(), "");
    for (int percent : ui.current) EXPECT_TRUE(percent >= 0 && percent <= 100) << percent;
  }
}

TEST_F(GetMailTest, FaultDetailsAreLoggedAndReported) {
  Fetch(Pop3Dialogue().Raw(std::string("\0\xFF\x01garbage\r\n", 12)).Close());
  EXPECT_EQ(ui.Texts(), Strings{kNoGreeting});
  EXPECT_EQ(Log(), "Connecting to: pop.example 110\r\n" + std::string("> \0\xFF\x01garbage\r\n", 14));

  Fetch(Pop3Dialogue().S("+OK hi").C("USER joe").S("+OK").C("PASS secret").S("-ERR [AUTH] no").C("QUIT").S("+OK")
            .Close());
  ExpectPlayed();
  EXPECT_EQ(ui.Texts(), Strings{"Invalid password or another mail session active."});
  EXPECT_EQ(Log().find("PASS"), std::string::npos) << "the password is never logged";

  Fetch(Pop3Dialogue().Login(1).Retr(1, kFirst, "+OK").Dele(1).Quit());
  EXPECT_NE(Log().find("Found file size: 0\r\n"), std::string::npos) << "no size announced";

  Fetch(Pop3Dialogue(), 65536, 10061);
  EXPECT_EQ(mail->LastError, "Connection refused");
  Fetch(Pop3Dialogue().Login(3).Retr(1, kFirst).Dele(1).C("RETR 2").S("+OK 46 octets").S("From: bob@site").Close());
  EXPECT_EQ(mail->LastError, "Connection reset by peer");
}

TEST_F(GetMailTest, ASpoolFolderThatTakesNoFileEndsTheRunInStep) {
  testing::TempDir elsewhere;
  std::rename((mail_dir + "Spool").c_str(), (elsewhere.path() + "Spool").c_str());
  Fetch(Pop3Dialogue().Login(3).Retr(1, kFirst).Quit());
  ExpectPlayed();
  EXPECT_EQ(ui.Texts(), Strings{"Could not open mail save file."});
  EXPECT_EQ(received, 0);
  EXPECT_EQ(skipped, 1);
  EXPECT_EQ(Written().find("DELE"), std::string::npos);
}

TEST_F(GetMailTest, AnEmptyPortMeans110) {
  MailSettings.MailPort = "";
  Fetch(Pop3Dialogue().Login(0).Quit());
  ExpectPlayed();
  EXPECT_EQ(fake->Port(), "110");
  EXPECT_EQ(fake->Host(), "pop.example");
}

TEST_F(GetMailTest, CancelCurrentSkipsTheMessageAndGoesOn) {
  std::string long_message = "Subject: big\r\n\r\n";
  for (int i = 0; i < 50; ++i) long_message += "line " + std::to_string(i) + "\r\n";
  PressWhileReading(2, [this] {
    mail->ErrorFlag = true;
    mail->CancelListen();
  });
  Fetch(Pop3Dialogue().Login(3).Retr(1, kFirst).Dele(1).Retr(2, long_message).Retr(3, kSecond).Dele(3).Quit());
  ExpectPlayed();
  EXPECT_EQ(received, 2);
  EXPECT_EQ(skipped, 1);
  EXPECT_EQ(Names("Spool"), (Strings{"0.new", "1.new"}));
  EXPECT_EQ(testing::ReadFile(mail_dir + "Spool/1.new"), kSecond);
}

TEST_F(GetMailTest, CancelAllStopsAfterTheCurrentMessage) {
  PressWhileReading(2, [this] {
    mail->CancelListen();
    mail->ErrorFlag = true;
    mail->CancelAll = true;
  });
  Fetch(Pop3Dialogue().Login(5).Retr(1, kFirst).Dele(1).Retr(2, kSecond).Quit());
  ExpectPlayed();
  EXPECT_EQ(received, 1);  // only what was stored
  EXPECT_EQ(skipped, 1);
  EXPECT_EQ(Contents("Spool"), Strings{kFirst});

  // Set before the start, it does not even connect.
  fake = std::make_unique<FakeServer>();
  TGetMail idle;
  idle.SetTransport(fake->NewTransport());
  idle.CancelAll = true;
  idle.GetNewMail(received, skipped);
  EXPECT_EQ(fake->Connections(), 0);
  EXPECT_EQ(received, 0);
}

TEST_F(GetMailTest, ASecondCancelWhileTheRestIsReadGivesTheSessionUp) {
  std::string long_message = "Subject: big\r\n\r\n";
  for (int i = 0; i < 200; ++i) long_message += "line " + std::to_string(i) + "\r\n";
  int presses = 0, at = 0;
  ui.on_events = [&] {
    if (status.Lines().size() < 2) return;  // not inside the message yet
    if (++at == 5 || at == 15) {
      ++presses;
      mail->ErrorFlag = true;
      mail->CancelListen();
    }
  };
  Fetch(Pop3Dialogue().Login(2).Retr(1, long_message));
  EXPECT_EQ(presses, 2);
  EXPECT_TRUE(Names("Spool").empty());
  EXPECT_EQ(received, 0);
  EXPECT_TRUE(mail->ErrorFlag);
  EXPECT_EQ(Written().find("QUIT"), std::string::npos);
  EXPECT_FALSE(mail->IsConnected());
}

// ---- over loopback TCP --------------------------------------------------------------------

TEST_F(GetMailTest, AServerThatStallsInsideAMessageTripsTheWatchdog) {
  FetchOverTcp(Pop3Dialogue().Login(2).Retr(1, kFirst).Dele(1).C("RETR 2").S("+OK 40 octets").S("From: bob@site")
                   .Stall());
  EXPECT_EQ(Contents("Spool"), Strings{kFirst});
  EXPECT_EQ(received, 1);
  EXPECT_EQ(skipped, 1);
  EXPECT_TRUE(mail->ErrorFlag);
  EXPECT_EQ(mail->LastError, "Blocking call timed out");
  EXPECT_EQ(Written().find("QUIT"), std::string::npos);  // the deletion is not committed
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(GetMailTest, AServerThatNeverAnswersQuitDoesNotHangTheRun) {
  FetchOverTcp(Pop3Dialogue().Login(1).Retr(1, kFirst).Dele(1).C("QUIT").Stall());
  EXPECT_TRUE(tcp->Finished());
  EXPECT_EQ(Contents("Spool"), Strings{kFirst});
  EXPECT_EQ(received, 1);
  EXPECT_TRUE(mail->ErrorFlag);  // whether the server committed is unknown
  EXPECT_FALSE(mail->IsConnected());
}

}  // namespace
}  // namespace corvelle
