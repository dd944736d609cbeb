#include "net/get_mail.h"

#include <gtest/gtest.h>

#include "core/settings.h"
#include "core/status_text.h"
#include "net/fake_transport.h"
#include "pop3_dialogue.h"
#include "support/mail_fixture.h"

namespace corvelle {
namespace {

using testing::Pop3Dialogue;

// Status text that keeps every state it went through, joined with " | ".
class RecordingStatus : public StatusText {
 public:
  std::vector<std::string> states;

 protected:
  void Changed() override {
    std::string state;
    for (const std::string& line : Lines()) state += (state.empty() ? "" : " | ") + line;
    states.push_back(state);
  }
};

class GetMailTest : public testing::MailFixture {
 protected:
  void SetUp() override {
    MakeTree();
    MailSettings.MailServer = "pop.example";
    MailSettings.MailPort = "110";
    MailSettings.UserName = "joe";
    MailSettings.PassWord = EncodePassword("secret");
    MailSettings.LeaveMailOnServer = "0";
  }
  void TearDown() override { SetDiskFlush(nullptr); }

  // Runs a whole retrieval against `dialogue`.
  void Fetch(const Pop3Dialogue& dialogue, size_t chunk = 65536) {
    server_().AddSteps(dialogue.steps());
    server_().SetChunkSize(chunk);
    mail = std::make_unique<TGetMail>();
    mail->SetTransport(server_().NewTransport());
    mail->InitStatus(&status);
    mail->GetNewMail(received, skipped);
  }
  void ExpectScriptPlayed() {
    EXPECT_TRUE(server_().Problems().empty()) << server_().Problems()[0];
    EXPECT_TRUE(server_().Finished());
  }
  std::vector<std::string> Spool() { return testing::ListNames(mail_dir + "Spool"); }
  std::string SpoolFile(const std::string& name) { return testing::ReadFile(mail_dir + "Spool/" + name); }
  std::string Log() { return testing::ReadFile(mail_dir + "System/netlog.txt"); }

  // A new server for the next Fetch.
  void NewServer() {
    servers.push_back(std::make_unique<FakeServer>());
    ui.boxes.clear();
  }

  std::vector<std::unique_ptr<FakeServer>> servers = [] {
    std::vector<std::unique_ptr<FakeServer>> first;
    first.push_back(std::make_unique<FakeServer>());
    return first;
  }();
  FakeServer& server_() { return *servers.back(); }
  std::unique_ptr<TGetMail> mail;
  RecordingStatus status;
  int received = -1, skipped = -1;
};

const std::string kFirst = "From: ann@site\r\nSubject: one\r\n\r\nHello.\r\n";
const std::string kSecond = "From: bob@site\r\nSubject: two\r\n\r\nBye.\r\n";

TEST_F(GetMailTest, FetchesAndDeletesEveryMessage) {
  Fetch(Pop3Dialogue().Login(2).Retr(1, kFirst).Dele(1).Retr(2, kSecond).Dele(2).Quit());
  ExpectScriptPlayed();
  EXPECT_EQ(received, 2);
  EXPECT_EQ(skipped, 0);
  EXPECT_EQ(Spool(), (std::vector<std::string>{"0.new", "1.new"}));
  EXPECT_EQ(SpoolFile("0.new"), kFirst);
  EXPECT_EQ(SpoolFile("1.new"), kSecond);
  EXPECT_FALSE(mail->ErrorFlag);
  EXPECT_FALSE(mail->LoggedIn);
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(GetMailTest, TheNetworkLogHoldsTheDialogueLineByLine) {
  Fetch(Pop3Dialogue().Login(1).Retr(1, kFirst).Dele(1).Quit());
  EXPECT_EQ(Log(),
            "Connecting to: pop.example 110\r\n"
            "> +OK POP3 ready\r\n"
            "< USER joe\r\n\r\n"
            "> +OK\r\n"
            "> +OK logged in\r\n"
            "STAT\r\n\r\n"
            "+OK 1 4096\r\n"
            "RETR 1\r\n\r\n"
            "+OK 40 octets\r\n"
            "Found file size: 40\r\n"
            "DELE 1\r\n\r\n"
            "+OK message deleted\r\n"
            "QUIT\r\n");
}

TEST_F(GetMailTest, AMessageIsStoredByteForByte) {
  const struct {
    const char* name;
    std::string message, stored;
  } rows[] = {
      {"long line stored whole", "Subject: long\r\n\r\n" + std::string(2000, 'x') + "\r\n",
       "Subject: long\r\n\r\n" + std::string(2000, 'x') + "\r\n"},
      {"leading dots unstuffed", "A: b\r\n\r\n.x\r\n..y\r\n.\r\n...\r\nz.\r\n",
       "A: b\r\n\r\n.x\r\n..y\r\n.\r\n...\r\nz.\r\n"},
      {"8-bit and NUL bytes", std::string("S: \xE9\xFF\r\n\r\na\0b\x01\x7F\r\n", 16),
       std::string("S: \xE9\xFF\r\n\r\na\0b\x01\x7F\r\n", 16)},
      {"empty body", "Subject: nothing\r\n\r\n", "Subject: nothing\r\n\r\n"},
      {"empty message", "", ""},
      {"lone CR kept", "A: b\r\n\r\nx\ry\r\n", "A: b\r\n\r\nx\ry\r\n"},
  };
  for (size_t chunk : {size_t(65536), size_t(1)}) {
    for (const auto& row : rows) {
      NewServer();
      for (const std::string& name : Spool()) std::remove((mail_dir + "Spool/" + name).c_str());
      Fetch(Pop3Dialogue().Login(1).Retr(1, row.message).Dele(1).Quit(), chunk);
      ExpectScriptPlayed();
      EXPECT_EQ(received, 1) << row.name;
      ASSERT_EQ(Spool().size(), 1u) << row.name;
      EXPECT_EQ(SpoolFile(Spool()[0]), row.stored) << row.name << ", chunk " << chunk;
    }
  }
}

TEST_F(GetMailTest, BareLineFeedsBecomeCrLf) {
  Fetch(Pop3Dialogue().Login(1).C("RETR 1").S("+OK").Raw("A: b\n\nbody\n..dot\n.\n").Dele(1).Quit());
  ExpectScriptPlayed();
  EXPECT_EQ(SpoolFile("0.new"), "A: b\r\n\r\nbody\r\n.dot\r\n");
}

TEST_F(GetMailTest, TheFilesReachTheDiskBeforeQuitCommitsTheDeletions) {
  std::vector<std::string> flushed_with;
  SetDiskFlush([&](const std::string& folder) {
    flushed_with.push_back(server_().Written());
    EXPECT_EQ(folder, mail_dir + "Spool");
    return true;
  });
  Fetch(Pop3Dialogue().Login(2).Retr(1, kFirst).Dele(1).Retr(2, kSecond).Dele(2).Quit());
  ExpectScriptPlayed();
  ASSERT_EQ(flushed_with.size(), 1u);  // once per connection
  EXPECT_NE(flushed_with[0].find("DELE 2"), std::string::npos);
  EXPECT_EQ(flushed_with[0].find("QUIT"), std::string::npos);
}

TEST_F(GetMailTest, AFailedFlushTakesTheDeletionsBack) {
  SetDiskFlush([](const std::string&) { return false; });
  Fetch(Pop3Dialogue().Login(1).Retr(1, kFirst).Dele(1).Rset().Quit());
  ExpectScriptPlayed();
  EXPECT_TRUE(mail->ErrorFlag);
  EXPECT_EQ(SpoolFile("0.new"), kFirst);
}

TEST_F(GetMailTest, LeaveMailOnServerSendsNoDeleAndResetsBeforeQuit) {
  MailSettings.LeaveMailOnServer = "1";
  Fetch(Pop3Dialogue().Login(2).Retr(1, kFirst).Retr(2, kSecond).Rset().Quit());
  ExpectScriptPlayed();
  EXPECT_EQ(received, 2);
  EXPECT_EQ(Spool().size(), 2u);
  EXPECT_NE(Log().find("RSET\r\n\r\n+OK\r\nQUIT\r\n"), std::string::npos);
}

TEST_F(GetMailTest, ARefusedRetrInTheMiddleSkipsThatMessageOnly) {
  Fetch(Pop3Dialogue().Login(3).Retr(1, kFirst).Dele(1).C("RETR 2").S("-ERR no such message")
            .Retr(3, kSecond).Dele(3).Quit());
  ExpectScriptPlayed();
  EXPECT_EQ(received, 2);
  EXPECT_EQ(skipped, 1);
  EXPECT_EQ(Spool(), (std::vector<std::string>{"0.new", "1.new"}));
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{"POP server will not allow message retrieval."});
  EXPECT_FALSE(mail->ErrorFlag);
}

TEST_F(GetMailTest, ARefusedLastMessageResetsTheDeletionsBeforeQuit) {
  Fetch(Pop3Dialogue().Login(3).Retr(1, kFirst).Dele(1).Retr(2, kSecond).Dele(2).C("RETR 3").S("-ERR locked")
            .Rset().Quit());
  ExpectScriptPlayed();
  EXPECT_EQ(received, 2);
  EXPECT_EQ(skipped, 1);
  EXPECT_EQ(Spool().size(), 2u);  // kept: the server keeps all three after RSET
  EXPECT_TRUE(mail->ErrorFlag);
}

TEST_F(GetMailTest, AnErrGreetingIsRefusedWithoutAWordMore) {
  Fetch(Pop3Dialogue().S("-ERR go away").Close());
  ExpectScriptPlayed();
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{"POP server did not return greeting status OK."});
  EXPECT_EQ(server_().Written(), "");
  EXPECT_EQ(received, 0);
  EXPECT_TRUE(mail->ErrorFlag);
  EXPECT_FALSE(mail->IsConnected());
}

TEST_F(GetMailTest, GarbageAndNulBytesAreNoGreeting) {
  Fetch(Pop3Dialogue().Raw(std::string("\0\xFF\x01garbage\r\n", 12)).Close());
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{"POP server did not return greeting status OK."});
  EXPECT_EQ(Log(), "Connecting to: pop.example 110\r\n" + std::string("> \0\xFF\x01garbage\r\n", 14));
}

TEST_F(GetMailTest, AWrongUserOrPasswordEndsTheSessionPolitely) {
  Fetch(Pop3Dialogue().S("+OK hi").C("USER joe").S("-ERR who?").C("QUIT").S("+OK").Close());
  ExpectScriptPlayed();
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{"Invalid username"});
  EXPECT_TRUE(mail->ErrorFlag);

  NewServer();
  Fetch(Pop3Dialogue().S("+OK hi").C("USER joe").S("+OK").C("PASS secret").S("-ERR [AUTH] no").C("QUIT").S("+OK").Close());
  ExpectScriptPlayed();
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{"Invalid password or another mail session active."});
  EXPECT_EQ(Log().find("PASS"), std::string::npos);  // the password is never logged
}

TEST_F(GetMailTest, AReplyLineLongerThan255BytesIsReadWhole) {
  std::string long_reply = "+OK " + std::string(300, 'w');
  Fetch(Pop3Dialogue().S(long_reply).C("USER joe").S(long_reply).C("PASS secret").S(long_reply).C("STAT")
            .S("+OK 1 100 " + std::string(300, 'z')).Retr(1, kFirst, "+OK 46 octets " + std::string(400, 'q'))
            .Dele(1).Quit());
  ExpectScriptPlayed();
  EXPECT_EQ(received, 1);
  EXPECT_EQ(SpoolFile("0.new"), kFirst);
}

TEST_F(GetMailTest, AnUnreadableStatCountFetchesNothingAndIsAnError) {
  Fetch(Pop3Dialogue().S("+OK").C("USER joe").S("+OK").C("PASS secret").S("+OK").C("STAT").S("+OK 3").Rset().Quit());
  ExpectScriptPlayed();
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{"Server protocol error on STAT"});
  EXPECT_EQ(received, 0);
  EXPECT_TRUE(mail->ErrorFlag);
}

TEST_F(GetMailTest, AMessageWithoutAnnouncedSizeCountsAsReceived) {
  Fetch(Pop3Dialogue().Login(2).Retr(1, kFirst, "+OK").Dele(1).Retr(2, kSecond, "+OK 512").Dele(2).Quit());
  ExpectScriptPlayed();
  EXPECT_EQ(received, 2);
  EXPECT_EQ(skipped, 0);
  EXPECT_NE(Log().find("Found file size: 0\r\n"), std::string::npos);
  for (int percent : ui.current) {
    EXPECT_GE(percent, 0);
    EXPECT_LE(percent, 100);
  }
}

TEST_F(GetMailTest, StatusLinesAndProgressFollowTheMessages) {
  Fetch(Pop3Dialogue().Login(2).Retr(1, kFirst, "+OK 46 octets").Dele(1).Retr(2, kSecond).Dele(2).Quit());
  auto seen = [this](const std::string& state) {
    return std::find(status.states.begin(), status.states.end(), state) != status.states.end();
  };
  EXPECT_TRUE(seen("Connecting to mail server..."));
  EXPECT_TRUE(seen("Receiving message: 1 of 2 (0 messages skipped). | 46 octets bytes | From: ann@site | "
                   "Subject: one"));
  EXPECT_TRUE(seen("Receiving message: 2 of 2 (0 messages skipped)."));
  EXPECT_EQ(status.states.back(), "Disconnecting from mail server...");
  EXPECT_EQ(ui.total, (std::vector<int>{0, 50, 100, 100}));
  ASSERT_FALSE(ui.current.empty());
  EXPECT_EQ(ui.current.front(), 0);
  EXPECT_EQ(ui.current.back(), 100);
  EXPECT_NE(std::find(ui.current.begin(), ui.current.end(), 10), ui.current.end());
  EXPECT_GT(ui.events_processed, 10);
}

TEST_F(GetMailTest, CancelCurrentSkipsTheMessageAndGoesOn) {
  std::string long_message = "Subject: big\r\n\r\n";
  for (int i = 0; i < 50; ++i) long_message += "line " + std::to_string(i) + "\r\n";
  bool pressed = false;
  ui.on_events = [&] {
    if (!pressed && !status.Lines().empty() && status.Lines()[0].rfind("Receiving message: 2", 0) == 0 &&
        status.Lines().size() >= 2) {
      pressed = true;  // what Cancel current does
      mail->ErrorFlag = true;
      mail->CancelListen();
    }
  };
  Fetch(Pop3Dialogue().Login(3).Retr(1, kFirst).Dele(1).Retr(2, long_message).Retr(3, kSecond).Dele(3).Quit());
  ExpectScriptPlayed();
  EXPECT_TRUE(pressed);
  EXPECT_EQ(received, 2);
  EXPECT_EQ(skipped, 1);
  EXPECT_EQ(Spool(), (std::vector<std::string>{"0.new", "1.new"}));
  EXPECT_EQ(SpoolFile("1.new"), kSecond);
}

TEST_F(GetMailTest, CancelAllStopsAfterTheCurrentMessage) {
  bool pressed = false;
  ui.on_events = [&] {
    if (!pressed && !status.Lines().empty() && status.Lines()[0].rfind("Receiving message: 2", 0) == 0 &&
        status.Lines().size() >= 2) {
      pressed = true;  // what Cancel all does
      mail->CancelListen();
      mail->ErrorFlag = true;
      mail->CancelAll = true;
    }
  };
  Fetch(Pop3Dialogue().Login(5).Retr(1, kFirst).Dele(1).Retr(2, kSecond).Quit());
  ExpectScriptPlayed();
  EXPECT_EQ(received, 1);  // only what was stored
  EXPECT_EQ(skipped, 1);
  EXPECT_EQ(Spool(), std::vector<std::string>{"0.new"});
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
  EXPECT_TRUE(Spool().empty());
  EXPECT_EQ(received, 0);
  EXPECT_TRUE(mail->ErrorFlag);
  EXPECT_EQ(server_().Written().find("QUIT"), std::string::npos);
  EXPECT_FALSE(mail->IsConnected());
}

TEST_F(GetMailTest, ADisconnectInsideAMessageKeepsItOnTheServer) {
  Fetch(Pop3Dialogue().Login(3).Retr(1, kFirst).Dele(1).C("RETR 2").S("+OK 46 octets").S("From: bob@site").Close());
  ExpectScriptPlayed();
  EXPECT_EQ(Spool(), std::vector<std::string>{"0.new"});
  EXPECT_EQ(received, 1);
  EXPECT_EQ(skipped, 1);
  EXPECT_TRUE(mail->ErrorFlag);
  EXPECT_EQ(mail->LastError, "Connection reset by peer");
  EXPECT_EQ(server_().Written().find("QUIT"), std::string::npos);  // nothing committed
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(GetMailTest, ADeleWithoutAnswerLeavesTheMessageOnTheServer) {
  Fetch(Pop3Dialogue().Login(1).Retr(1, kFirst).C("DELE 1").Close());
  ExpectScriptPlayed();
  EXPECT_TRUE(Spool().empty());
  EXPECT_EQ(received, 0);
  EXPECT_TRUE(mail->ErrorFlag);
}

TEST_F(GetMailTest, ASpoolFolderThatTakesNoFileEndsTheRunInStep) {
  testing::TempDir elsewhere;
  std::rename((mail_dir + "Spool").c_str(), (elsewhere.path() + "Spool").c_str());
  Fetch(Pop3Dialogue().Login(3).Retr(1, kFirst).Quit());
  ExpectScriptPlayed();
  EXPECT_EQ(ui.Texts(), std::vector<std::string>{"Could not open mail save file."});
  EXPECT_EQ(received, 0);
  EXPECT_EQ(skipped, 1);
  EXPECT_EQ(server_().Written().find("DELE"), std::string::npos);
}

TEST_F(GetMailTest, AnEmptyPortMeans110) {
  MailSettings.MailPort = "";
  Fetch(Pop3Dialogue().Login(0).Quit());
  ExpectScriptPlayed();
  EXPECT_EQ(server_().Port(), "110");
  EXPECT_EQ(server_().Host(), "pop.example");
}

TEST_F(GetMailTest, AnUnknownHostShowsItsBoxesAndFails) {
  server_().SetConnectResult(11001);
  Fetch(Pop3Dialogue());
  EXPECT_EQ(ui.Texts(), (std::vector<std::string>{"Cannot convert host address", "Could not connect to host."}));
  EXPECT_TRUE(mail->ErrorFlag);
  EXPECT_EQ(received, 0);
}

TEST_F(GetMailTest, CancelAllBeforeTheStartDoesNothing) {
  mail = std::make_unique<TGetMail>();
  mail->SetTransport(server_().NewTransport());
  mail->CancelAll = true;
  mail->GetNewMail(received, skipped);
  EXPECT_EQ(server_().Connections(), 0);
  EXPECT_EQ(received, 0);
}

}  // namespace
}  // namespace corvelle
