// TGetMail against scripted servers: the in-process fake for the protocol, and tiny TCP
// servers on loopback for what a real server will not do on demand (stall, drip, hang up,
// never answer QUIT, pause). After every fault: the right message, nothing lost, nothing
// hangs; a message is ".new" only when it is complete and on disk, work files of an
// interrupted run go, and QUIT never commits what was not kept.

#include "net/pop3/get_mail.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>

#include "core/settings.h"
#include "net/support/fake_transport.h"
#include "net/support/pop3_dialogue.h"
#include "net/support/scripted_server.h"
#include "net/support/transfer_fixture.h"

namespace corvelle {
namespace {

using testing::Pop3Dialogue;
using testing::ScriptedServer;
using testing::ServerScript;
using testing::Strings;
using Clock = std::chrono::steady_clock;

const std::string kFirst = "From: ann@site\r\nSubject: one\r\n\r\nHello.\r\n";
const std::string kSecond = "From: bob@site\r\nSubject: two\r\n\r\nBye.\r\n";
const std::string kThird = "From: cy@site\r\nSubject: three\r\n\r\nAgain.\r\n";
const std::string kNoGreeting = "POP server did not return greeting status OK.";
const std::string kRefused = "POP server will not allow message retrieval.";

bool IsWorkFile(const std::string& name) {
  return name.size() > 6 && name[0] == '.' && name.compare(name.size() - 5, 5, ".part") == 0;
}
bool IsNewFile(const std::string& name) { return name.size() > 4 && name.compare(name.size() - 4, 4, ".new") == 0; }

class GetMailTest : public testing::TransferFixture {
 protected:
  ~GetMailTest() override { SetDiskFlush(nullptr); }

  // A whole retrieval against the in-process server playing `dialogue`; `chunk` bytes at most
  // per read.
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
  void FetchOverTcp(ServerScript script, ScriptedServer::Options options = {}, int timeout = 1) {
    fake.reset();
    tcp = std::make_unique<ScriptedServer>(std::move(script), options);
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
  // The contents of the spool files, which must be named "0.new", "1.new", ... and nothing else.
  Strings Stored() const {
    Strings names = Names("Spool"), contents;
    for (size_t i = 0; i < names.size(); ++i) {
      EXPECT_EQ(names[i], std::to_string(i) + ".new");
      contents.push_back(testing::ReadFile(mail_dir + "Spool/" + names[i]));
    }
    return contents;
  }
  // Runs `look` at every event while message `number` is read and its first `lines` status
  // lines are up (2: its size, 3: its "From: " line).
  void WhileReading(int number, std::function<void()> look, size_t lines = 3) {
    ui.on_events = [this, number, look, lines] {
      const Strings& shown = status.Lines();
      if (shown.size() >= lines && shown[0].rfind("Receiving message: " + std::to_string(number), 0) == 0) look();
    };
  }
  // Runs `press` once, the same way.
  void PressWhileReading(int number, std::function<void()> press, size_t lines = 2) {
    WhileReading(number, [press, pressed = false]() mutable {
      if (!pressed) press();
      pressed = true;
    }, lines);
  }
  void PressCancelCurrent() {
    mail->ErrorFlag = true;
    mail->CancelListen();
  }

  std::unique_ptr<FakeServer> fake;
  std::unique_ptr<ScriptedServer> tcp;
  std::unique_ptr<TGetMail> mail;
  int received = -1, skipped = -1;
  Clock::duration elapsed{};

 private:
  // Every run after the first of a test starts from an empty spool folder and no boxes; the
  // first finds the spool folder as the test laid it out.
  void Start() {
    if (mail) {
      for (const std::string& name : Names("Spool")) std::remove((mail_dir + "Spool/" + name).c_str());
      ui.boxes.clear();
    }
    mail = std::make_unique<TGetMail>();
    mail->InitStatus(&status);
  }
};

TEST_F(GetMailTest, StoresEachMessageWithItsStatusLinesAndProgress) {
  Fetch(Pop3Dialogue().Login(2).Retr(1, kFirst, "+OK 46 octets").Dele(1).Retr(2, kSecond).Dele(2).Quit());
  ExpectPlayed();
  EXPECT_EQ(received, 2);
  EXPECT_EQ(skipped, 0);
  EXPECT_EQ(Stored(), (Strings{kFirst, kSecond}));
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
        FetchOverTcp(dialogue.steps(), {.trickle = true});
      else
        Fetch(dialogue, how[0] == 'w' ? 65536 : 1);
      ExpectPlayed();
      EXPECT_EQ(received, 1);
      EXPECT_EQ(Stored(), Strings{row.message});
    }
  }
}

// What each server fault costs: the boxes, the counts, the files kept, and that nothing is
// committed on the server that was not stored: no QUIT when the deletions cannot be trusted.
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
    bool leave = false, flush_fails = false;  // mail left on the server; the disk flush fails
  } rows[] = {
      {"refused RETR in the middle: that message is skipped",
       Pop3Dialogue().Login(3).Retr(1, kFirst).Dele(1).C("RETR 2").S("-ERR no such message").Retr(3, kSecond)
           .Dele(3).Quit(),
       {kRefused}, 2, 1, false, {kFirst, kSecond}, "DELE 2"},
      {"refused last message: the deletions are reset",
       Pop3Dialogue().Login(3).Retr(1, kFirst).Dele(1).Retr(2, kSecond).Dele(2).C("RETR 3").S("-ERR locked").Rset()
           .Quit(),
       {kRefused}, 2, 1, true, {kFirst, kSecond}, "DELE 3"},
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
      {"disconnect inside a message: it stays on the server, earlier ones are kept, no work file",
       Pop3Dialogue().Login(3).Retr(1, kFirst).Dele(1).C("RETR 2").S("+OK 46 octets").Raw("From: bob@si").Close(),
       {}, 1, 1, true, {kFirst}, "QUIT"},
      {"DELE never answered: the stored copy goes, the server keeps it",
       Pop3Dialogue().Login(1).Retr(1, kFirst).C("DELE 1").Close(), {}, 0, 1, true, {}, "QUIT"},
      {"unknown host", Pop3Dialogue(), {"Cannot convert host address", "Could not connect to host."}, 0, 0, true, {},
       "", 11001},
      {"refused connection", Pop3Dialogue(), {"Could not connect to host."}, 0, 0, true, {}, "", 10061},
      {"failed flush: the files go, nothing is committed",
       Pop3Dialogue().Login(2).Retr(1, kFirst).Dele(1).Retr(2, kSecond).Dele(2), {}, 0, 2, true, {}, "QUIT", 0, false,
       true},
      {"RSET refused after a DELE: the deletion would stand",
       Pop3Dialogue().Login(2).Retr(1, kFirst).Dele(1).C("RETR 2").S("-ERR locked").C("RSET").S("-ERR not now"),
       {kRefused}, 1, 1, true, {kFirst}, "QUIT"},
      {"RSET answered with garbage after a DELE",
       Pop3Dialogue().Login(2).Retr(1, kFirst).Dele(1).C("RETR 2").S("-ERR locked").C("RSET")
           .Raw(std::string("\0\r\n", 3)),
       {kRefused}, 1, 1, true, {kFirst}, "QUIT"},
      {"RSET taken back: QUIT is safe",
       Pop3Dialogue().Login(2).Retr(1, kFirst).Dele(1).C("RETR 2").S("-ERR locked").Rset().Quit(), {kRefused}, 1, 1,
       true, {kFirst}, "DELE 2"},
      {"RSET refused with nothing deleted: QUIT is safe",
       Pop3Dialogue().Login(1).Retr(1, kFirst).C("RSET").S("-ERR no").Quit(), {}, 1, 0, false, {kFirst}, "DELE", 0,
       true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ui.current.clear();
    MailSettings.LeaveMailOnServer = row.leave ? "1" : "0";
    SetDiskFlush(row.flush_fails ? [](const std::string&) { return false; } : DiskFlush());
    Fetch(row.dialogue, 65536, row.connect_result);
    ExpectPlayed();
    EXPECT_EQ(ui.Texts(), row.boxes);
    EXPECT_EQ(received, row.received);
    EXPECT_EQ(skipped, row.skipped);
    EXPECT_EQ(mail->ErrorFlag, row.error);
    EXPECT_FALSE(mail->IsConnected());
    EXPECT_EQ(Stored(), row.stored);
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
  PressWhileReading(2, [this] { PressCancelCurrent(); });
  Fetch(Pop3Dialogue().Login(3).Retr(1, kFirst).Dele(1).Retr(2, long_message).Retr(3, kSecond).Dele(3).Quit());
  ExpectPlayed();
  EXPECT_EQ(received, 2);
  EXPECT_EQ(skipped, 1);
  EXPECT_EQ(Stored(), (Strings{kFirst, kSecond}));
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
  EXPECT_EQ(Stored(), Strings{kFirst});

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
      PressCancelCurrent();
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

// ---- a message is ".new" only when it is complete and on disk ------------------------------

TEST_F(GetMailTest, MessagesTakeTheirNewNamesAfterTheFlushAndBeforeQuit) {
  std::vector<Strings> while_reading;
  WhileReading(2, [&] { while_reading.push_back(Names("Spool")); });
  Strings at_flush;
  std::string written_at_flush;
  int flushes = 0;
  SetDiskFlush([&](const std::string& folder) {
    ++flushes;
    EXPECT_EQ(folder, mail_dir + "Spool");
    at_flush = Names("Spool");
    written_at_flush = Written();
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
  EXPECT_EQ(Stored(), (Strings{kFirst, kSecond}));
  EXPECT_EQ(received, 2);
  EXPECT_FALSE(mail->ErrorFlag);
}

TEST_F(GetMailTest, LeavingMailOnTheServerNamesTheFilesTheSameWay) {
  MailSettings.LeaveMailOnServer = "1";
  Spool("0.new", "an older message");
  int flushes = 0;
  SetDiskFlush([&](const std::string&) {
    ++flushes;
    EXPECT_EQ(Names("Spool").size(), 3u);
    EXPECT_EQ(Written().find("QUIT"), std::string::npos);
    return true;
  });
  Fetch(Pop3Dialogue().Login(2).Retr(1, kFirst).Retr(2, kSecond).Rset().Quit());
  ExpectPlayed();
  EXPECT_EQ(flushes, 1);
  EXPECT_EQ(Stored(), (Strings{"an older message", kFirst, kSecond}));
  EXPECT_EQ(received, 2);
}

TEST_F(GetMailTest, WorkFilesOfAnInterruptedRunAreRemovedAtTheNextLogin) {
  // What a run killed inside its second message leaves: one complete and one cut-off message,
  // neither committed on the server.
  Spool(".0.part", kFirst);
  Spool(".1A.part", "From: bob@si");
  Spool("0.new", "an older message");
  Spool("1.NEW", "taken in another letter case");
  Spool("notes.part", "not a work file");
  Spool(".x.part", "not a work file either");
  Fetch(Pop3Dialogue().Login(1).Retr(1, kFirst).Dele(1).Quit());
  ExpectPlayed();
  EXPECT_EQ(Names("Spool"), (Strings{".x.part", "0.new", "1.NEW", "2.new", "notes.part"}));
  EXPECT_EQ(testing::ReadFile(mail_dir + "Spool/2.new"), kFirst);
  EXPECT_EQ(testing::ReadFile(mail_dir + "Spool/0.new"), "an older message");
  EXPECT_EQ(received, 1);
}

// ---- a message cannot take more than its size allows ---------------------------------------

// About `bytes` bytes of body lines of `width` characters each.
std::string BodyLines(size_t bytes, size_t width = 998) {
  std::string line = std::string(width, 'x') + "\r\n", body = "From: big@site\r\n\r\n";
  body.reserve(bytes + line.size());
  while (body.size() < bytes) body += line;
  return body;
}

TEST_F(GetMailTest, AMessageFarLargerThanAnnouncedEndsTheSession) {
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
    ui.on_events = nullptr;
    if (row.cancel) PressWhileReading(2, [this] { PressCancelCurrent(); }, 3);
    Pop3Dialogue dialogue = Pop3Dialogue().Login(2).Retr(1, kFirst).Dele(1).Retr(2, row.body, row.reply);
    if (row.kept) dialogue.Dele(2).Quit();
    Fetch(dialogue);
    EXPECT_EQ(fake->Problems(), Strings{});
    EXPECT_EQ(ui.Texts(), row.boxes);
    EXPECT_EQ(Stored(), (row.kept ? Strings{kFirst, row.body} : Strings{kFirst}));
    EXPECT_EQ(received, row.kept ? 2 : 1);
    EXPECT_EQ(Written().find("QUIT") != std::string::npos, row.kept);
    EXPECT_EQ(Written().find("DELE 2") != std::string::npos, row.kept);
    EXPECT_FALSE(mail->IsConnected());
  }
}

// ---- over loopback TCP: servers that stall, drip their bytes or pause ----------------------

TEST_F(GetMailTest, AServerThatStallsOrDripsEndsAtTheWatchdogAndCommitsNothing) {
  const struct {
    const char* name;
    ServerScript script;
    Strings boxes, stored;
    int received, skipped;
    const char* never_sent;  // "" for nothing at all
  } rows[] = {
      {"stall inside a message",
       Pop3Dialogue().Login(2).Retr(1, kFirst).Dele(1).C("RETR 2").S("+OK 40 octets").S("From: bob@site").Stall()
           .steps(),
       {}, {kFirst}, 1, 1, "QUIT"},
      {"dripped greeting", ServerScript().Drip("+OK POP3 ready, one byte at a time\r\n", 200), {kNoGreeting}, {}, 0, 0,
       ""},
      {"dripped message",
       ServerScript(Pop3Dialogue().Login(1).C("RETR 1").S("+OK 40 octets").steps()).Drip(kFirst, 200), {}, {}, 0, 1,
       "QUIT"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    FetchOverTcp(row.script);
    EXPECT_LT(elapsed, std::chrono::milliseconds(2500));
    EXPECT_EQ(mail->LastError, "Blocking call timed out");
    EXPECT_TRUE(mail->ErrorFlag);
    EXPECT_EQ(ui.Texts(), row.boxes);
    EXPECT_EQ(Stored(), row.stored);
    EXPECT_EQ(received, row.received);
    EXPECT_EQ(skipped, row.skipped);
    if (*row.never_sent)
      EXPECT_EQ(Written().find(row.never_sent), std::string::npos);
    else
      EXPECT_EQ(Written(), "");
  }
}

TEST_F(GetMailTest, AServerThatNeverAnswersQuitDoesNotHangTheRun) {
  FetchOverTcp(Pop3Dialogue().Login(1).Retr(1, kFirst).Dele(1).C("QUIT").Stall().steps());
  EXPECT_TRUE(tcp->Finished());
  EXPECT_EQ(Stored(), Strings{kFirst});
  EXPECT_EQ(received, 1);
  EXPECT_TRUE(mail->ErrorFlag);  // whether the server committed is unknown
  EXPECT_FALSE(mail->IsConnected());
}

// "Cancel current" while the server is slow skips one message, not the session.
TEST_F(GetMailTest, CancelCurrentDuringAWaitSkipsOnlyThatMessage) {
  // The server pauses inside message 2, once in the middle of a line whose rest would look
  // like the end of the message if it were read as a line of its own, once before the RETR
  // reply. "Cancel current" is pressed during the pause.
  const std::string middle_of_a_line = "From: bob@site\r\nSubject: two\r\n\r\nx";
  const std::string rest = ".\r\nmore\r\n.\r\n";
  const struct {
    const char* name;
    ServerScript message2;
    size_t status_lines;  // how many status lines show while the server pauses
  } rows[] = {
      {"inside the message",
       ServerScript(Pop3Dialogue().C("RETR 2").S("+OK 40 octets").steps()).Send(middle_of_a_line).Pause(600)
           .Send(rest),
       4},
      {"before the RETR reply",
       ServerScript(Pop3Dialogue().C("RETR 2").steps()).Pause(600).Send("+OK 40 octets\r\n" + middle_of_a_line + rest),
       1},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    int presses = 0, waited = 0;
    ui.on_events = [&] {
      const Strings& lines = status.Lines();
      if (presses == 0 && lines.size() == row.status_lines && lines[0].rfind("Receiving message: 2", 0) == 0 &&
          ++waited == 10) {
        ++presses;
        PressCancelCurrent();
      }
    };
    FetchOverTcp(ServerScript(Pop3Dialogue().Login(3).Retr(1, kFirst).Dele(1).steps())
                     .Play(row.message2)
                     .Play(Pop3Dialogue().Retr(3, kThird).Dele(3).Quit().steps()),
                 {}, 10);
    ui.on_events = nullptr;
    EXPECT_EQ(presses, 1);
    ExpectPlayed();
    EXPECT_EQ(Stored(), (Strings{kFirst, kThird}));
    EXPECT_EQ(received, 2);
    EXPECT_EQ(skipped, 1);
    EXPECT_EQ(Written().find("DELE 2"), std::string::npos);
    EXPECT_FALSE(mail->ErrorFlag);
  }
}

TEST_F(GetMailTest, ASecondCancelDuringTheWaitGivesTheSessionUp) {
  int waited = 0, presses = 0;
  ui.on_events = [&] {
    if (status.Lines().size() >= 3 && ++waited % 10 == 0 && presses < 2) {
      ++presses;
      PressCancelCurrent();
    }
  };
  FetchOverTcp(Pop3Dialogue().Login(2).Retr(1, kFirst).Dele(1).C("RETR 2").S("+OK 40 octets").S("From: bob@site")
                   .Stall().steps(),
               {}, 60);
  EXPECT_EQ(presses, 2);
  EXPECT_LT(elapsed, std::chrono::seconds(5));
  EXPECT_EQ(Stored(), Strings{kFirst});
  EXPECT_EQ(received, 1);
  EXPECT_EQ(skipped, 1);
  EXPECT_TRUE(mail->ErrorFlag);
  EXPECT_EQ(Written().find("QUIT"), std::string::npos);  // the session was given up
}

}  // namespace
}  // namespace corvelle
