// TGetMail when runs end badly: a message is never visible as ".new" before it is complete
// and on disk, work files of an interrupted run go, and QUIT never commits what was not kept.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/settings.h"
#include "net/fake_transport.h"
#include "net/get_mail.h"
#include "paced_server.h"
#include "pop3_dialogue.h"
#include "support/mail_fixture.h"

namespace corvelle {
namespace {

using testing::PacedServer;
using testing::Pop3Dialogue;
using Strings = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

const std::string kFirst = "From: ann@site\r\nSubject: one\r\n\r\nHello.\r\n";
const std::string kSecond = "From: bob@site\r\nSubject: two\r\n\r\nBye.\r\n";

bool IsWorkFile(const std::string& name) {
  return name.size() > 6 && name[0] == '.' && name.compare(name.size() - 5, 5, ".part") == 0;
}
bool IsNewFile(const std::string& name) { return name.size() > 4 && name.compare(name.size() - 4, 4, ".new") == 0; }

class GetMailRobustnessTest : public testing::MailFixture {
 protected:
  GetMailRobustnessTest() {
    MakeTree();
    MailSettings.MailServer = "pop.example";
    MailSettings.MailPort = "110";
    MailSettings.UserName = "joe";
    MailSettings.PassWord = EncodePassword("secret");
    MailSettings.LeaveMailOnServer = "0";
  }
  ~GetMailRobustnessTest() override { SetDiskFlush(nullptr); }

  // A whole retrieval against the in-process server playing `dialogue`, `chunk` bytes at most
  // per read.
  void Fetch(const Pop3Dialogue& dialogue, size_t chunk = 65536) {
    fake = std::make_unique<FakeServer>();
    fake->AddSteps(dialogue.steps());
    fake->SetChunkSize(chunk);
    mail = std::make_unique<TGetMail>();
    mail->InitStatus(&status);
    mail->SetTransport(fake->NewTransport());
    mail->GetNewMail(received, skipped);
  }
  // The same over loopback against `server` (started here), the watchdog at `timeout` seconds.
  void FetchOverTcp(PacedServer& server, int timeout = 1) {
    MailSettings.MailServer = "127.0.0.1";
    MailSettings.MailPort = server.Port();
    server.Start();
    mail = std::make_unique<TGetMail>();
    mail->InitStatus(&status);
    mail->Timeout = timeout;
    auto start = Clock::now();
    mail->GetNewMail(received, skipped);
    elapsed = Clock::now() - start;
    EXPECT_TRUE(server.WaitDone());
  }
  void ExpectPlayed() {
    EXPECT_EQ(fake->Problems(), Strings{});
    EXPECT_TRUE(fake->Finished());
  }
  Strings Spool() const { return testing::ListNames(mail_dir + "Spool"); }
  std::string SpoolFile(const std::string& name) const { return testing::ReadFile(mail_dir + "Spool/" + name); }
  // Runs `look` at every event while message `number` is read (its "From: " status line is up).
  void WhileReading(int number, std::function<void()> look) {
    ui.on_events = [this, number, look] {
      const Strings& lines = status.Lines();
      if (lines.size() >= 3 && lines[0].rfind("Receiving message: " + std::to_string(number), 0) == 0) look();
    };
  }

  StatusText status;
  std::unique_ptr<FakeServer> fake;
  std::unique_ptr<TGetMail> mail;
  int received = -1, skipped = -1;
  Clock::duration elapsed{};
};

// ---- a message is ".new" only when it is complete and on disk ------------------------------

TEST_F(GetMailRobustnessTest, MessagesTakeTheirNewNamesAfterTheFlushAndBeforeQuit) {
  std::vector<Strings> while_reading;
  WhileReading(2, [&] { while_reading.push_back(Spool()); });
  Strings at_flush;
  std::string written_at_flush;
  int flushes = 0;
  SetDiskFlush([&](const std::string& folder) {
    ++flushes;
    EXPECT_EQ(folder, mail_dir + "Spool");
    at_flush = Spool();
    written_at_flush = fake->Written();
    return true;
  });
  Fetch(Pop3Dialogue().Login(2).Retr(1, kFirst).Dele(1).Retr(2, kSecond).Dele(2).Quit(), 7);
  ExpectPlayed();
  ASSERT_FALSE(while_reading.empty());
  for (const Strings& names : while_reading) {
    EXPECT_EQ(std::count_if(names.begin(), names.end(), IsNewFile), 0) << names.back();
    EXPECT_EQ(std::count_if(names.begin(), names.end(), IsWorkFile), 2);
  }
  // One flush for the connection, after the last DELE, before any file is named ".new" and
  // before QUIT.
  EXPECT_EQ(flushes, 1);
  EXPECT_EQ(at_flush.size(), 2u);
  EXPECT_TRUE(std::all_of(at_flush.begin(), at_flush.end(), IsWorkFile));
  EXPECT_NE(written_at_flush.find("DELE 2"), std::string::npos);
  EXPECT_EQ(written_at_flush.find("QUIT"), std::string::npos);
  EXPECT_EQ(Spool(), (Strings{"0.new", "1.new"}));
  EXPECT_EQ(SpoolFile("0.new"), kFirst);
  EXPECT_EQ(SpoolFile("1.new"), kSecond);
  EXPECT_EQ(received, 2);
  EXPECT_FALSE(mail->ErrorFlag);
}

TEST_F(GetMailRobustnessTest, LeavingMailOnTheServerNamesTheFilesTheSameWay) {
  MailSettings.LeaveMailOnServer = "1";
  testing::WriteFile(mail_dir + "Spool/0.new", "an older message");
  int flushes = 0;
  SetDiskFlush([&](const std::string&) {
    ++flushes;
    EXPECT_EQ(Spool().size(), 3u);
    EXPECT_EQ(fake->Written().find("QUIT"), std::string::npos);
    return true;
  });
  Fetch(Pop3Dialogue().Login(2).Retr(1, kFirst).Retr(2, kSecond).Rset().Quit());
  ExpectPlayed();
  EXPECT_EQ(flushes, 1);
  EXPECT_EQ(Spool(), (Strings{"0.new", "1.new", "2.new"}));
  EXPECT_EQ(SpoolFile("0.new"), "an older message");
  EXPECT_EQ(SpoolFile("1.new"), kFirst);
  EXPECT_EQ(SpoolFile("2.new"), kSecond);
  EXPECT_EQ(received, 2);
}

TEST_F(GetMailRobustnessTest, WorkFilesOfAnInterruptedRunAreRemovedAtTheNextLogin) {
  // What a run killed inside its second message leaves: one complete and one cut-off message,
  // neither committed on the server.
  testing::WriteFile(mail_dir + "Spool/.0.part", kFirst);
  testing::WriteFile(mail_dir + "Spool/.1A.part", "From: bob@si");
  testing::WriteFile(mail_dir + "Spool/0.new", "an older message");
  testing::WriteFile(mail_dir + "Spool/1.NEW", "taken in another letter case");
  testing::WriteFile(mail_dir + "Spool/notes.part", "not a work file");
  testing::WriteFile(mail_dir + "Spool/.x.part", "not a work file either");
  Fetch(Pop3Dialogue().Login(1).Retr(1, kFirst).Dele(1).Quit());
  ExpectPlayed();
  EXPECT_EQ(Spool(), (Strings{".x.part", "0.new", "1.NEW", "2.new", "notes.part"}));
  EXPECT_EQ(SpoolFile("2.new"), kFirst);
  EXPECT_EQ(SpoolFile("0.new"), "an older message");
  EXPECT_EQ(received, 1);
}

TEST_F(GetMailRobustnessTest, AConnectionLostLaterKeepsEarlierMessagesAndNoWorkFile) {
  Fetch(Pop3Dialogue().Login(3).Retr(1, kFirst).Dele(1).C("RETR 2").S("+OK 40 octets").Raw("From: bob@si").Close());
  ExpectPlayed();
  EXPECT_EQ(Spool(), Strings{"0.new"});
  EXPECT_EQ(SpoolFile("0.new"), kFirst);
  EXPECT_EQ(received, 1);
  EXPECT_EQ(skipped, 1);
  EXPECT_EQ(fake->Written().find("QUIT"), std::string::npos);
}

// ---- QUIT commits only what was kept ---------------------------------------------------------

TEST_F(GetMailRobustnessTest, QuitIsNeverSentWhenTheDeletionsCannotBeTrusted) {
  const std::string refused = "POP server will not allow message retrieval.";
  const struct {
    const char* name;
    Pop3Dialogue dialogue;
    bool leave, flush_works;
    Strings boxes, stored;
    int received, skipped;
    bool quit;
  } rows[] = {
      {"failed flush: the files go, nothing is committed",
       Pop3Dialogue().Login(2).Retr(1, kFirst).Dele(1).Retr(2, kSecond).Dele(2), false, false, {}, {}, 0, 2, false},
      {"RSET refused after a DELE: the deletion would stand",
       Pop3Dialogue().Login(2).Retr(1, kFirst).Dele(1).C("RETR 2").S("-ERR locked").C("RSET").S("-ERR not now"),
       false, true, {refused}, {kFirst}, 1, 1, false},
      {"RSET answered with garbage after a DELE",
       Pop3Dialogue().Login(2).Retr(1, kFirst).Dele(1).C("RETR 2").S("-ERR locked").C("RSET")
           .Raw(std::string("\0\r\n", 3)),
       false, true, {refused}, {kFirst}, 1, 1, false},
      {"RSET taken back: QUIT is safe",
       Pop3Dialogue().Login(2).Retr(1, kFirst).Dele(1).C("RETR 2").S("-ERR locked").Rset().Quit(), false, true,
       {refused}, {kFirst}, 1, 1, true},
      {"RSET refused with nothing deleted: QUIT is safe",
       Pop3Dialogue().Login(1).Retr(1, kFirst).C("RSET").S("-ERR no").Quit(), true, true, {}, {kFirst}, 1, 0, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    for (const std::string& name : Spool()) std::remove((mail_dir + "Spool/" + name).c_str());
    ui.boxes.clear();
    MailSettings.LeaveMailOnServer = row.leave ? "1" : "0";
    SetDiskFlush([&row](const std::string&) { return row.flush_works; });
    Fetch(row.dialogue);
    ExpectPlayed();
    EXPECT_EQ(ui.Texts(), row.boxes);
    EXPECT_EQ(received, row.received);
    EXPECT_EQ(skipped, row.skipped);
    std::vector<std::string> stored;
    for (const std::string& name : Spool()) stored.push_back(SpoolFile(name));
    EXPECT_EQ(stored, row.stored);
    EXPECT_EQ(fake->Written().find("QUIT") != std::string::npos, row.quit);
    EXPECT_EQ(mail->ErrorFlag, !row.quit || !row.boxes.empty());
    EXPECT_FALSE(mail->IsConnected());
  }
}

// ---- a message cannot take more than its size allows ---------------------------------------

// About `bytes` bytes of body lines of `width` characters each.
std::string BodyLines(size_t bytes, size_t width = 998) {
  std::string line = std::string(width, 'x') + "\r\n", body = "From: big@site\r\n\r\n";
  body.reserve(bytes + line.size());
  while (body.size() < bytes) body += line;
  return body;
}

TEST_F(GetMailRobustnessTest, AMessageFarLargerThanAnnouncedEndsTheSession) {
  const std::string over = "POP server sent more than the message size it announced.";
  const struct {
    const char* name;
    std::string reply, body;
    bool cancel;  // "Cancel current" at the message's first line: the rest is read unstored
    Strings boxes;
    bool kept;
  } rows[] = {
      {"3 MiB where 10 octets were announced", "+OK 10 octets", BodyLines(3 << 20), false, {over}, false},
      {"the same, cancelled: the rest is not read without end", "+OK 10 octets", BodyLines(3 << 20), true, {over},
       false},
      {"more than 100 MiB with no size announced", "+OK", BodyLines((100 << 20) + 70000, 65534), false,
       {"POP server sent a message larger than 100 MB."}, false},
      {"half a MiB more than announced is still a message", "+OK 10 octets", BodyLines(1 << 19), false, {}, true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    for (const std::string& name : Spool()) std::remove((mail_dir + "Spool/" + name).c_str());
    ui.boxes.clear();
    WhileReading(2, [this, cancel = row.cancel, pressed = false]() mutable {
      if (!cancel || pressed) return;
      pressed = true;
      mail->ErrorFlag = true;
      mail->CancelListen();
    });
    Pop3Dialogue dialogue = Pop3Dialogue().Login(2).Retr(1, kFirst).Dele(1).Retr(2, row.body, row.reply);
    if (row.kept) dialogue.Dele(2).Quit();
    Fetch(dialogue);
    EXPECT_EQ(fake->Problems(), Strings{});
    EXPECT_EQ(ui.Texts(), row.boxes);
    Strings stored;
    for (const std::string& name : Spool()) stored.push_back(SpoolFile(name));
    Strings expected = row.kept ? Strings{kFirst, row.body} : Strings{kFirst};
    EXPECT_EQ(stored, expected);
    EXPECT_EQ(received, row.kept ? 2 : 1);
    EXPECT_EQ(fake->Written().find("QUIT") != std::string::npos, row.kept);
    EXPECT_EQ(fake->Written().find("DELE 2") != std::string::npos, row.kept);
    EXPECT_FALSE(mail->IsConnected());
  }
}

// ---- a server that drips its bytes ---------------------------------------------------------

TEST_F(GetMailRobustnessTest, ADrippedGreetingEndsAtTheWatchdog) {
  PacedServer server;
  server.Drip("+OK POP3 ready, one byte at a time\r\n", 200);
  FetchOverTcp(server);
  EXPECT_LT(elapsed, std::chrono::milliseconds(2500));
  EXPECT_EQ(ui.Texts(), Strings{"POP server did not return greeting status OK."});
  EXPECT_EQ(mail->LastError, "Blocking call timed out");
  EXPECT_EQ(server.Received(), "");
  EXPECT_EQ(received, 0);
}

TEST_F(GetMailRobustnessTest, ADrippedMessageEndsAtTheWatchdogAndCommitsNothing) {
  PacedServer server;
  server.Play(Pop3Dialogue().Login(1).C("RETR 1").S("+OK 40 octets").steps()).Drip(kFirst, 200);
  FetchOverTcp(server);
  EXPECT_LT(elapsed, std::chrono::milliseconds(2500));
  EXPECT_EQ(mail->LastError, "Blocking call timed out");
  EXPECT_TRUE(Spool().empty());
  EXPECT_EQ(received, 0);
  EXPECT_EQ(skipped, 1);
  EXPECT_EQ(server.Received().find("QUIT"), std::string::npos);
  EXPECT_TRUE(ui.boxes.empty());
}

// ---- "Cancel current" while the server is slow skips one message, not the session ----------

const std::string kThird = "From: cy@site\r\nSubject: three\r\n\r\nAgain.\r\n";

TEST_F(GetMailRobustnessTest, CancelCurrentDuringAWaitSkipsOnlyThatMessage) {
  // The server pauses inside message 2, once in the middle of a line whose rest would look
  // like the end of the message if it were read as a line of its own, once before the RETR
  // reply. "Cancel current" is pressed during the pause.
  const std::string middle_of_a_line = "From: bob@site\r\nSubject: two\r\n\r\nx";
  const std::string rest = ".\r\nmore\r\n.\r\n";
  const struct {
    const char* name;
    std::function<void(PacedServer&)> message2;
    size_t status_lines;  // how many status lines show while the server pauses
  } rows[] = {
      {"inside the message",
       [&](PacedServer& server) {
         server.Play(Pop3Dialogue().C("RETR 2").S("+OK 40 octets").steps());
         server.Send(middle_of_a_line).Pause(600).Send(rest);
       },
       4},
      {"before the RETR reply",
       [&](PacedServer& server) {
         server.Play(Pop3Dialogue().C("RETR 2").steps());
         server.Pause(600).Send("+OK 40 octets\r\n" + middle_of_a_line + rest);
       },
       1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    for (const std::string& name : Spool()) std::remove((mail_dir + "Spool/" + name).c_str());
    PacedServer server;
    server.Play(Pop3Dialogue().Login(3).Retr(1, kFirst).Dele(1).steps());
    row.message2(server);
    server.Play(Pop3Dialogue().Retr(3, kThird).Dele(3).Quit().steps());
    int presses = 0, waited = 0;
    ui.on_events = [&] {
      const Strings& lines = status.Lines();
      if (presses == 0 && lines.size() == row.status_lines && lines[0].rfind("Receiving message: 2", 0) == 0 &&
          ++waited == 10) {
        ++presses;  // Cancel current
        mail->ErrorFlag = true;
        mail->CancelListen();
      }
    };
    FetchOverTcp(server, 10);
    ui.on_events = nullptr;
    EXPECT_EQ(presses, 1);
    EXPECT_EQ(server.Problems(), Strings{});
    EXPECT_TRUE(server.Finished());
    EXPECT_EQ(Spool(), (Strings{"0.new", "1.new"}));
    EXPECT_EQ(SpoolFile("0.new"), kFirst);
    EXPECT_EQ(SpoolFile("1.new"), kThird);
    EXPECT_EQ(received, 2);
    EXPECT_EQ(skipped, 1);
    EXPECT_EQ(server.Received().find("DELE 2"), std::string::npos);
    EXPECT_FALSE(mail->ErrorFlag);
  }
}

TEST_F(GetMailRobustnessTest, ASecondCancelDuringTheWaitGivesTheSessionUp) {
  PacedServer server;
  server.Play(Pop3Dialogue().Login(2).Retr(1, kFirst).Dele(1).C("RETR 2").S("+OK 40 octets").S("From: bob@site").Stall()
                  .steps());
  int waited = 0, presses = 0;
  ui.on_events = [&] {
    if (status.Lines().size() >= 3 && ++waited % 10 == 0 && presses < 2) {
      ++presses;
      mail->ErrorFlag = true;
      mail->CancelListen();
    }
  };
  FetchOverTcp(server, 60);
  EXPECT_EQ(presses, 2);
  EXPECT_LT(elapsed, std::chrono::seconds(5));
  EXPECT_EQ(Spool(), Strings{"0.new"});
  EXPECT_EQ(received, 1);
  EXPECT_EQ(skipped, 1);
  EXPECT_TRUE(mail->ErrorFlag);
  EXPECT_EQ(server.Received().find("QUIT"), std::string::npos);  // the session was given up
}

}  // namespace
}  // namespace corvelle
