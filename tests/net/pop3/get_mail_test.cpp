// TGetMail against the in-process scripted server, which also does what a real server will
// not do on demand (stall, drip, pause, never answer QUIT). After every fault: the right
// message or note, nothing lost, nothing hangs; a message is ".new" only when it is complete
// and on disk, and a deleting session keeps a file exactly when QUIT commits its deletion.

#include "net/pop3/get_mail.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "core/settings/settings.h"
#include "net/pop3/spool_writer.h"
#include "net/support/fake_server.h"
#include "net/support/transfer_fixture.h"
#include "support/test_settings.h"

namespace corvelle {
namespace {

using testing::Drip;
using testing::Escape;
using testing::FakeServer;
using testing::Strings;

const std::string kFirst = "From: ann@site\r\nSubject: one\r\n\r\nHello.\r\n";
const std::string kSecond = "From: bob@site\r\nSubject: two\r\n\r\nBye.\r\n";
const std::string kThird = "From: cy@site\r\nSubject: three\r\n\r\nAgain.\r\n";
const std::string kNoGreeting = "POP server did not return greeting status OK.";
const std::string kRefused = "POP server will not allow message retrieval.";
const std::string kReset = "Transfer error: Connection reset by peer";
const std::string kTimedOut = "Transfer error: Blocking call timed out";
const std::string kTooLarge = "POP server sent more than the message size it announced.";

// Dialogue pieces: the login of joe with "secret", RETR with a message stuffed on the wire,
// DELE, QUIT.
const std::string kAuth = "S: +OK POP3 ready\nC: CAPA\nS: -ERR\nC: USER joe\nS: +OK\nC: PASS secret\nS: +OK logged in\n";
const std::string kQuit = "C: QUIT\nS: +OK bye\nCLOSE\n";
// A server without capabilities and unique ids, unless `uidl` lists them; without ids it
// lists its messages (each of 100 octets) with LIST.
std::string Login(int count, const std::string& uidl = "") {
  std::string script = kAuth + "C: STAT\nS: +OK " + std::to_string(count) + " 4096\nC: CAPA\nS: -ERR\nC: UIDL\n";
  if (!uidl.empty()) return script + uidl;
  script += "S: -ERR no UIDL\nC: LIST\nS: +OK\n";
  for (int i = 1; i <= count; ++i) script += "S: " + std::to_string(i) + " 100\n";
  return script + "S: .\n";
}
std::string Raw(const std::string& bytes) { return "S> " + Escape(bytes) + "\n"; }
std::string Dele(int number) { return "C: DELE " + std::to_string(number) + "\nS: +OK message deleted\n"; }
std::string Retr(int number, const std::string& message, std::string reply = "") {
  if (reply.empty()) reply = "+OK " + std::to_string(message.size()) + " octets";
  std::string wire;  // lines starting with "." get another one, and a lone "." ends the message
  for (size_t at = 0, end; at < message.size(); at = end) {
    end = std::min(message.find("\r\n", at), message.size() - 2) + 2;
    wire += (message[at] == '.' ? "." : "") + message.substr(at, end - at);
  }
  return "C: RETR " + std::to_string(number) + "\nS: " + reply + "\n" + Raw(wire + ".\r\n");
}

bool IsWorkFile(const std::string& name) { return name[0] == '.' && name.ends_with(".part"); }

// About `bytes` bytes of a message with body lines of `width` characters each.
std::string BodyLines(size_t bytes, size_t width = 998) {
  std::string line = std::string(width, 'x') + "\r\n", body = "From: big@site\r\n\r\n";
  while (body.size() < bytes) body += line;
  return body;
}

class GetMailTest : public testing::TransferFixture {
 protected:
  ~GetMailTest() override { SetSpoolWriteFault(nullptr); }

  // Sets a retrieval up against a server playing `script`, `chunk` bytes at most per read,
  // the watchdog at `timeout` seconds; Fetch runs it whole. Every run after the first of a
  // test starts from an empty spool folder and no boxes.
  void Start(const std::string& script, size_t chunk = 65536, int connect_result = 0) {
    if (mail) {
      for (const std::string& name : Names("Spool")) std::remove((mail_dir + "Spool/" + name).c_str());
      ui.boxes.clear();
    }
    fake = std::make_unique<FakeServer>(script);
    fake->SetChunkSize(chunk);
    fake->SetConnectResult(connect_result);
    mail = std::make_unique<TGetMail>(Context([this] { return fake->NewTransport(); }, flush));
    mail->InitStatus(&status);
    mail->Channel().Timeout = timeout;
  }
  void Fetch(const std::string& script, size_t chunk = 65536, int connect_result = 0) {
    Start(script, chunk, connect_result);
    mail->GetNewMail(received, skipped);
  }
  void ExpectPlayed() {
    EXPECT_EQ(fake->Problems(), Strings{}) << Escape(fake->Written());
    EXPECT_TRUE(fake->Finished());
  }
  bool Sent(const std::string& command) const { return fake->Written().find(command) != std::string::npos; }
  // The last `n` status lines, the notes a run leaves (and no more of them than that).
  Strings LastStatusLines(size_t n) const {
    const Strings& lines = status.Lines();
    EXPECT_LE(lines.size(), n + 1) << lines.back();
    return Strings(lines.end() - std::min(n, lines.size()), lines.end());
  }
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

  std::unique_ptr<FakeServer> fake;
  DiskFlush flush;  // how the components made from now flush the disk; empty: for real
  std::unique_ptr<TGetMail> mail;
  int received = -1, skipped = -1, timeout = 1;
};

// A whole run, with the settings its component was made with: the setup dialog may save
// other ones meanwhile.
TEST_F(GetMailTest, StoresEachMessageWithItsStatusLinesLogAndProgress) {
  MailSettings.MailPort = "";
  Start(Login(2) + Retr(1, kFirst, "+OK 46 octets") + Dele(1) + Retr(2, kSecond) + Dele(2) + kQuit);
  MailSettings.MailServer = "other.example";
  MailSettings.UserName = "someone";
  MailSettings.LeaveMailOnServer = true;
  MailSettings.MailDirectory = "/nonexistent/";
  mail->GetNewMail(received, skipped);
  ExpectPlayed();
  EXPECT_EQ(fake->Host() + ":" + fake->Port(), "pop.example:110") << "an empty port means 110";
  EXPECT_EQ(received, 2);
  EXPECT_EQ(skipped, 0);
  EXPECT_EQ(Stored(), (Strings{kFirst, kSecond}));
  EXPECT_FALSE(mail->ErrorFlag);
  EXPECT_TRUE(ui.boxes.empty());
  EXPECT_NE(std::find(status.history.begin(), status.history.end(),
                      Strings{"Receiving message: 1 of 2 (0 messages skipped).", "46 octets bytes", "From: ann@site",
                              "Subject: one"}),
            status.history.end());
  EXPECT_EQ(status.Lines(), Strings{"Disconnecting from mail server..."});
  // Commands are logged with their line end, received lines without; the password never is.
  EXPECT_EQ(Log(), "Connecting to: pop.example 110\r\n> +OK POP3 ready\r\n< CAPA\r\n\r\n> -ERR\r\n< USER joe\r\n\r\n> +OK\r\n"
                   "> +OK logged in\r\nSTAT\r\n\r\n+OK 2 4096\r\nCAPA\r\n\r\n-ERR\r\nUIDL\r\n\r\n-ERR no UIDL\r\n"
                   "LIST\r\n\r\n+OK\r\nRETR 1\r\n\r\n+OK 46 octets\r\nFound file size: 46\r\n"
                   "DELE 1\r\n\r\n+OK message deleted\r\nRETR 2\r\n\r\n+OK 38 octets\r\nFound file size: 38\r\n"
                   "DELE 2\r\n\r\n+OK message deleted\r\nQUIT\r\n");
  EXPECT_EQ(ui.total, (std::vector<int>{0, 50, 100, 100}));
  EXPECT_EQ(ui.current.back(), 100);
  EXPECT_NE(std::find(ui.current.begin(), ui.current.end(), 10), ui.current.end());
}

TEST_F(GetMailTest, AMessageIsStoredByteForByteHoweverItArrives) {
  const std::pair<const char*, std::string> rows[] = {
      {"long line stored whole", "Subject: long\r\n\r\n" + std::string(2000, 'x') + "\r\n"},
      {"a line of a MiB, read in pieces, its CR LF across their border",
       "A: b\r\n\r\n" + std::string(LineChannel::kLongLinePiece - 1, 'x') + "\r\n"},
      {"leading dots unstuffed", "A: b\r\n\r\n.x\r\n..y\r\n.\r\n...\r\nz.\r\n"},
      {"8-bit and NUL bytes", std::string("S: \xE9\xFF\r\n\r\na\0b\x01\x7F\r\n", 16)},
      {"empty message", ""},
      {"lone CR kept", "A: b\r\n\r\nx\ry\r\n"},
  };
  for (size_t chunk : {size_t(65536), size_t(1)}) {
    for (const auto& [name, message] : rows) {
      SCOPED_TRACE(std::string(name) + ", chunk " + std::to_string(chunk));
      Fetch(Login(1) + Retr(1, message) + Dele(1) + kQuit, chunk);
      ExpectPlayed();
      EXPECT_EQ(Stored(), Strings{message});
    }
  }
  // Bare line feeds end lines too, and are stored as CR LF.
  Fetch(Login(1) + "C: RETR 1\nS: +OK\n" + Raw("A: b\n\nbody\n..dot\n.\n") + Dele(1) + kQuit);
  EXPECT_EQ(Stored(), Strings{"A: b\r\n\r\nbody\r\n.dot\r\n"});
}

// What each server fault costs: the boxes, the notes left in the status lines and the log,
// the counts and the files kept. A deleting session keeps a file only when QUIT commits its
// deletion; otherwise the server keeps the message and the next Get brings it.
TEST_F(GetMailTest, ServerFaults) {
  const std::string long_ok = "S: +OK 1 1 " + std::string(300, 'w') + "\n";  // a good reply to any command
  const struct {
    const char* name;
    std::string script;
    Strings boxes, notes;
    int received, skipped;
    bool error;
    Strings stored;
    const char* never_sent;  // the client never sent it; "" for nothing at all
    int connect_result = 0;
    bool leave = false, flush_fails = false;  // mail left on the server; the disk flush fails
  } rows[] = {
      {"refused RETR in the middle: that message is skipped",
       Login(3) + Retr(1, kFirst) + Dele(1) + "C: RETR 2\nS: -ERR no\n" + Retr(3, kSecond) + Dele(3) + kQuit,
       {kRefused}, {}, 2, 1, false, {kFirst, kSecond}, "RSET"},
      {"refused last message: no RSET, the others' deletions commit",
       Login(3) + Retr(1, kFirst) + Dele(1) + Retr(2, kSecond) + Dele(2) + "C: RETR 3\nS: -ERR locked\n" + kQuit,
       {kRefused}, {}, 2, 1, false, {kFirst, kSecond}, "RSET"},
      {"refused DELE: the server keeps that message, and so does not the spool folder",
       Login(2) + Retr(1, kFirst) + "C: DELE 1\nS: -ERR locked\n" + Retr(2, kSecond) + Dele(2) + kQuit, {},
       {"Message 1 stays on the server: -ERR locked"}, 1, 1, false, {kSecond}, "RSET"},
      {"disconnect inside a message: nothing committed, nothing kept",
       Login(3) + Retr(1, kFirst) + Dele(1) + "C: RETR 2\nS: +OK 46 octets\nS> From: bob@si\nCLOSE\n", {}, {kReset},
       0, 2, true, {}, "QUIT"},
      {"a STAT reply of more than 16 MiB", kAuth + "C: STAT\nS> +OK 3 " + std::string(17 << 20, '9') + "\n", {},
       {"Transfer error: Message too long"}, 0, 0, true, {}, "RETR"},
      {"unreadable STAT count: the server's reply is shown", kAuth + "C: STAT\nS: +OK 3\nC: RSET\nS: +OK\n" + kQuit,
       {"Server protocol error on STAT: +OK 3"}, {}, 0, 0, true, {}, "RETR"},
      {"refused STAT: the server's reply is shown", kAuth + "C: STAT\nS: -ERR mailbox locked\nC: RSET\nS: +OK\n" + kQuit,
       {"The mail server would not count the waiting messages: -ERR mailbox locked"}, {}, 0, 0, true, {}, "RETR"},
      {"a STAT count far above what the server lists: only the listed messages are asked for, and the rest told",
       kAuth + "C: STAT\nS: +OK 100000000 1\nC: CAPA\nS: -ERR\nC: UIDL\nS: -ERR\nC: LIST\nS: +OK\nS: 1 46\nS: .\n" +
       Retr(1, kFirst) + Dele(1) + kQuit,
       {"The mail server counted 100000000 waiting messages but listed only 1: the others could not be retrieved."},
       {}, 1, 0, true, {kFirst}, "RETR 2"},
      {"no listing at all: an error, with the server's reply",
       kAuth + "C: STAT\nS: +OK 3 1\nC: CAPA\nS: -ERR\nC: UIDL\nS: -ERR\nC: LIST\nS: -ERR what?\nC: RSET\nS: +OK\n" +
       kQuit, {"The mail server does not list its messages: -ERR what?"}, {}, 0, 0, true, {}, "RETR"},
      {"-ERR greeting: not a word more", "S: -ERR go away\nCLOSE\n", {kNoGreeting}, {}, 0, 0, true, {}, ""},
      {"disconnect after the greeting", "S: +OK hello\nC: CAPA\nS: -ERR\nC: USER joe\nCLOSE\n", {"Transmission error occurred."},
       {kReset}, 0, 0, true, {}, "PASS"},
      {"wrong user name", "S: +OK hi\nC: CAPA\nS: -ERR\nC: USER joe\nS: -ERR who?\nC: QUIT\nS: +OK\nCLOSE\n", {"Invalid username"}, {},
       0, 0, true, {}, "PASS"},
      {"reply lines longer than 255 bytes are read whole", long_ok + "C: CAPA\nS: -ERR\nC: USER joe\n" + long_ok + "C: PASS secret\n" +
       long_ok + "C: STAT\n" + long_ok + "C: CAPA\n" + long_ok + "S: .\n" + "C: UIDL\n" + long_ok + "S: 1 id\nS: .\n" + Retr(1, kFirst, long_ok.substr(3, 300)) + Dele(1) + kQuit, {}, {}, 1, 0, false,
       {kFirst}, "RSET"},
      {"no announced size: still counted as received",
       Login(2) + Retr(1, kFirst, "+OK") + Dele(1) + Retr(2, kSecond, "+OK 512") + Dele(2) + kQuit, {}, {}, 2, 0,
       false, {kFirst, kSecond}, "RSET"},
      {"unknown host", "", {"Cannot convert host address", "Could not connect to host."}, {}, 0, 0, true, {}, "",
       11001},
      {"failed flush: the files go, nothing is committed", Login(2) + Retr(1, kFirst) + Dele(1) + Retr(2, kSecond) +
       Dele(2), {}, {}, 0, 2, true, {}, "QUIT", 0, false, true},
      {"leaving mail on the server: a lost session keeps what it stored",
       Login(2) + Retr(1, kFirst) + "C: RETR 2\nCLOSE\n", {}, {kReset}, 1, 1, true, {kFirst}, "QUIT", 0, true},
      // Servers that stall or drip their bytes: the watchdog ends the wait.
      {"stall inside a message",
       Login(2) + Retr(1, kFirst) + Dele(1) + "C: RETR 2\nS: +OK 40 octets\nS: From: bob@site\nSTALL\n", {},
       {kTimedOut}, 0, 2, true, {}, "QUIT"},
      {"dripped greeting", Drip("+OK POP3 ready, one byte at a time\r\n", 200), {kNoGreeting}, {}, 0, 0, true, {},
       ""},
      {"dripped message", Login(1) + "C: RETR 1\nS: +OK 40 octets\n" + Drip(kFirst, 200), {}, {kTimedOut}, 0, 1, true,
       {}, "QUIT"},
      {"QUIT never answered: the files stay, as the server may have deleted",
       Login(1) + Retr(1, kFirst) + Dele(1) + "C: QUIT\nSTALL\n", {}, {kTimedOut}, 1, 0, true, {kFirst}, "RSET"},
      // A message cannot take more than its size allows: the session ends (no QUIT).
      {"3 MiB where 10 octets were announced",
       Login(2) + Retr(1, kFirst) + Dele(1) + Retr(2, BodyLines(3 << 20), "+OK 10 octets"), {kTooLarge}, {}, 0, 2,
       true, {}, "QUIT"},
      {"more than 100 MiB with no size announced", Login(1, "S: +OK\nS: 1 big\nS: .\n") + Retr(1, BodyLines((100 << 20) + 70000, 65534), "+OK"),
       {"POP server sent a message larger than 100 MB."}, {}, 0, 1, true, {}, "QUIT"},
      {"half a MiB more than announced is still a message",
       Login(1) + Retr(1, BodyLines(1 << 19), "+OK 10 octets") + Dele(1) + kQuit, {}, {}, 1, 0, false,
       {BodyLines(1 << 19)}, "RSET"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    ui.current.clear();
    MailSettings.LeaveMailOnServer = row.leave;
    flush = row.flush_fails ? [](const Strings&) { return false; } : DiskFlush();
    Fetch(row.script, 65536, row.connect_result);
    EXPECT_EQ(fake->Problems(), Strings{});
    EXPECT_EQ(ui.Texts(), row.boxes);
    EXPECT_EQ(LastStatusLines(row.notes.size()), row.notes);
    for (const std::string& note : row.notes) EXPECT_NE(Log().find(note + "\r\n"), std::string::npos) << note;
    EXPECT_EQ(received, row.received);
    EXPECT_EQ(skipped, row.skipped);
    EXPECT_EQ(mail->ErrorFlag, row.error);
    EXPECT_FALSE(mail->IsConnected());
    EXPECT_EQ(Stored(), row.stored);
    EXPECT_FALSE(*row.never_sent ? Sent(row.never_sent) : !fake->Written().empty());
    for (int percent : ui.current) EXPECT_TRUE(percent >= 0 && percent <= 100) << percent;
  }
}

// A logout with ErrorFlag set sends RSET: taken back, the server keeps every message, so
// their files go; not taken back, no QUIT may commit the deletions, and the files go too.
TEST_F(GetMailTest, ALogoutAfterAnErrorKeepsNoFileTheServerStillHolds) {
  const std::pair<std::string, bool> rows[] = {{"C: RSET\nS: +OK\n" + kQuit, true},  // the end, and whether QUIT came
                                               {"C: RSET\nS: -ERR not now\n", false},
                                               {"C: RSET\n" + Raw(std::string("\0\r\n", 3)), false}};
  for (const auto& [end, quit] : rows) {
    SCOPED_TRACE(end);
    Start(kAuth + "C: STAT\nS: +OK 2 4096\n" + Retr(1, kFirst) + Dele(1) + end);
    EXPECT_EQ(mail->GetMailStatus(), 2);
    EXPECT_GT(mail->GetMailMessage(1), 0);
    mail->ErrorFlag = true;
    mail->DoPOPLogout();
    ExpectPlayed();
    EXPECT_EQ(Sent("QUIT"), quit);
    EXPECT_EQ(Names("Spool"), Strings{});
  }
}

TEST_F(GetMailTest, ASpoolFolderThatTakesNoFileEndsTheRunInStep) {
  testing::TempDir elsewhere;
  std::rename((mail_dir + "Spool").c_str(), (elsewhere.path() + "Spool").c_str());
  Fetch(Login(3) + Retr(1, kFirst) + kQuit);
  ExpectPlayed();
  EXPECT_EQ(ui.Texts(), Strings{"Could not open mail save file."});
  EXPECT_EQ(received, 0);
  EXPECT_EQ(skipped, 1);
  EXPECT_FALSE(Sent("DELE"));
}

// "Cancel current", as the transfer dialog presses it, skips one message, also while the
// server is slow, and the rest commits; a second press while its rest is read gives the
// session up (no QUIT, so nothing is kept). "Cancel all" ends the session the regular way.
TEST_F(GetMailTest, CancelSkipsAMessageOrEndsTheRun) {
  // Message 2 pauses in the middle of a line whose rest would look like the end of the
  // message if it were read as a line of its own, or before its RETR reply.
  const std::string part = "From: bob@site\r\nSubject: two\r\n\r\nx", rest = ".\r\nmore\r\n.\r\n";
  const std::string start = Login(3) + Retr(1, kFirst) + Dele(1), then = Retr(3, kThird) + Dele(3) + kQuit;
  const struct {
    const char* name;
    std::string script;
    size_t lines;               // press once message 2 shows this many status lines
    int first, every, presses;  // at the first-th such event, then every every-th, so many times
    bool all;
    Strings stored;
    int skipped;
    Strings boxes = {};
  } rows[] = {
      {"current", start + Retr(2, BodyLines(5000, 50)) + then, 2, 1, 1, 1, false, {kFirst, kThird}, 1},
      {"current, while the server pauses inside the message",
       start + "C: RETR 2\nS: +OK 40 octets\n" + Raw(part) + "PAUSE 600\n" + Raw(rest) + then, 4, 10, 1, 1, false,
       {kFirst, kThird}, 1},
      {"current, while the server pauses before the RETR reply",
       start + "C: RETR 2\nPAUSE 600\n" + Raw("+OK 40 octets\r\n" + part + rest) + then, 1, 10, 1, 1, false,
       {kFirst, kThird}, 1},
      {"all", start + Retr(2, kSecond) + kQuit, 2, 1, 1, 1, true, {kFirst}, 1},
      {"current twice while the rest is read", start + Retr(2, BodyLines(5000, 20)), 2, 5, 10, 2, false, {}, 2},
      {"current twice while the server is silent", start + "C: RETR 2\nS: +OK 40 octets\nS: From: bob@site\nSTALL\n",
       3, 10, 10, 2, false, {}, 2},
      {"current in a message far larger than announced: its rest is not read without end",
       start + Retr(2, BodyLines(3 << 20), "+OK 10 octets"), 3, 1, 1, 1, false, {}, 2, {kTooLarge}},
  };
  timeout = 60;  // only the presses end a wait
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    int events = 0, presses = 0;
    ui.on_events = [&] {
      const Strings& shown = status.Lines();
      if (presses == row.presses || shown.size() < row.lines || !shown[0].starts_with("Receiving message: 2") ||
          ++events < row.first || (events - row.first) % row.every != 0)
        return;
      ++presses;
      mail->ErrorFlag = true;
      mail->CancelAll = row.all;
      mail->Cancel();
    };
    Fetch(row.script);
    ui.on_events = nullptr;
    EXPECT_EQ(presses, row.presses);
    EXPECT_EQ(fake->Problems(), Strings{});
    EXPECT_EQ(Stored(), row.stored);
    EXPECT_EQ(received, static_cast<int>(row.stored.size()));
    EXPECT_EQ(skipped, row.skipped);
    EXPECT_EQ(ui.Texts(), row.boxes);
    bool lost = row.presses == 2 || !row.boxes.empty();
    EXPECT_EQ(mail->ErrorFlag, lost);
    EXPECT_EQ(Sent("QUIT"), !lost);
    EXPECT_FALSE(Sent("RSET"));
  }
  // Once set, "Cancel all" stays set: a later run does not even connect.
  int connections = fake->Connections();
  mail->CancelAll = true;
  mail->GetNewMail(received, skipped);
  EXPECT_EQ(fake->Connections(), connections);
}

// While messages are read, and when the disk is flushed (once, after the last DELE, before
// QUIT), they have work names only.
TEST_F(GetMailTest, MessagesTakeTheirNewNamesAfterTheFlushAndBeforeQuit) {
  Strings seen;
  ui.on_events = [&] {
    if (status.Lines().size() == 4 && status.Lines()[0].starts_with("Receiving message: 2")) seen = Names("Spool");
  };
  int flushes = 0;
  flush = [&](const Strings& files) {
    EXPECT_EQ(files.size(), 2u);
    EXPECT_EQ(std::count_if(seen.begin(), seen.end(), IsWorkFile), 2);
    seen = Names("Spool");
    EXPECT_TRUE(Sent("DELE 2") && !Sent("QUIT"));
    return ++flushes;
  };
  Fetch(Login(2) + Retr(1, kFirst) + Dele(1) + Retr(2, kSecond) + Dele(2) + kQuit, 7);
  ExpectPlayed();
  EXPECT_EQ(flushes, 1);
  EXPECT_EQ(std::count_if(seen.begin(), seen.end(), IsWorkFile), 2);
  EXPECT_EQ(Stored(), (Strings{kFirst, kSecond}));
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
  Fetch(Login(1) + Retr(1, kFirst) + Dele(1) + kQuit);
  ExpectPlayed();
  EXPECT_EQ(Names("Spool"), (Strings{".x.part", "0.new", "1.NEW", "2.new", "notes.part"}));
  EXPECT_EQ(testing::ReadFile(mail_dir + "Spool/2.new"), kFirst);
  EXPECT_EQ(received, 1);
}

}  // namespace
}  // namespace corvelle

namespace corvelle {
namespace {

// With unique ids: what the account's state lists is not fetched again (only deleted when
// mail is not left on the server), ids the server no longer lists are dropped, and a commit
// that a crash cut short between writing the ids and moving the files is finished at login.
TEST_F(GetMailTest, UniqueIdsFetchEachMessageOnce) {
  const std::string state = mail_dir + "System/uids-joe@pop.example.txt";
  const std::string listing = "S: +OK\nS: 1 id-a\nS: 2 id-b\nS: 3 id-c\nS: .\n";
  for (bool leave : {false, true}) {
    SCOPED_TRACE(leave);
    MailSettings.LeaveMailOnServer = leave;
    // Message 1's DELE waits for its commit, at the end of the run.
    const std::string end = leave ? "C: RSET\nS: +OK\n" + kQuit : Dele(2) + Dele(3) + Dele(1) + kQuit;
    Start(Login(3, listing) + Retr(1, kThird) + end);
    Spool(".0.part", kFirst);   // committed, not yet moved: finished at login
    Spool(".1.part", "From: cut");  // the size differs: not the file the state names
    testing::WriteFile(state, "gone\nid-b\nid-c\t.0.part\t" + std::to_string(kFirst.size()) +
                                  "\nid-x\t.1.part\t99\n\x01 bad\n");
    mail->GetNewMail(received, skipped);
    ExpectPlayed();
    EXPECT_EQ(Stored(), (Strings{kFirst, kThird}));
    EXPECT_EQ(received, 1);
    EXPECT_EQ(testing::ReadFile(state), "id-a\nid-b\nid-c\n");
  }
  // Ids that name two messages name neither: both are fetched.
  Fetch(Login(2, "S: +OK\nS: 1 same\nS: 2 same\nS: .\n") + Retr(1, kFirst) + Retr(2, kSecond) +
        "C: RSET\nS: +OK\n" + kQuit);
  ExpectPlayed();
  EXPECT_EQ(received, 2);
}

// A further account's files carry its mark, those a crashed commit left too; work files that
// another account's ids name wait for that account's own login.
TEST_F(GetMailTest, AFurtherAccountsFilesCarryItsMarkAndOthersWorkFilesWait) {
  testing::WriteFile(mail_dir + "System/uids-joe@pop.example.txt",
                     "id-c\t.0.part\t" + std::to_string(kFirst.size()) + "\n");
  testing::WriteFile(mail_dir + "System/uids-ann@pop2.example.txt",
                     "id-z\t.5.part\t" + std::to_string(kSecond.size()) + "\n");
  Spool(".0.part", kFirst);
  Spool(".5.part", kSecond);
  fake = std::make_unique<FakeServer>(Login(1, "S: +OK\nS: 1 id-a\nS: .\n") + Retr(1, kThird) + Dele(1) + kQuit);
  TransferContext context = Context([this] { return fake->NewTransport(); }, flush);
  context.account = "my work";
  TGetMail work(context);
  work.GetNewMail(received, skipped);
  ExpectPlayed();
  EXPECT_EQ(Names("Spool"), (Strings{".5.part", "0.my%20work.new", "1.my%20work.new"}));
  EXPECT_EQ(testing::ReadFile(mail_dir + "Spool/1.my%20work.new"), kThird);
}

// Found by fuzzing: the ids and the pipeline were laid out for every message a STAT reply
// counted, and a hostile count ran the program out of memory.
TEST_F(GetMailTest, AHugeMessageCountIsNoMemoryToReserve) {
  Fetch(kAuth + "C: STAT\nS: +OK 2000000000 1\nC: CAPA\nS: +OK\nS: PIPELINING\nS: .\nC: UIDL\nS: +OK\nS: 1 a\nS: .\n" +
        "C: LIST\nS: -ERR\nC: RETR 1\nCLOSE\n");
  EXPECT_EQ(fake->Problems(), Strings{});
  EXPECT_EQ(received, 0);
}

// Pipelined: both RETR go out before the first message is read, and a DELE refused after
// the next message was read still takes its own message's file back.
TEST_F(GetMailTest, APipelinedDeleteRefusedLaterTakesItsFileBack) {
  const std::string capa =
      "C: CAPA\nS: +OK\nS: UIDL\nS: PIPELINING\nS: .\nC: UIDL\nS: -ERR\nC: LIST\nS: +OK\nS: 1 46\nS: 2 38\nS: .\n";
  Fetch(kAuth + "C: STAT\nS: +OK 2 80\n" + capa + Retr(1, kFirst) + Retr(2, kSecond) + "C: DELE 1\nS: -ERR locked\n" +
        Dele(2) + kQuit, 7);
  ExpectPlayed();
  EXPECT_EQ(Stored(), Strings{kSecond});
  EXPECT_EQ(received, 1);
  EXPECT_EQ(skipped, 1);
  EXPECT_EQ(LastStatusLines(1), Strings{"Message 1 stays on the server: -ERR locked"});
}

}  // namespace
}  // namespace corvelle

namespace corvelle {
namespace {

const std::string kIds3 = "S: +OK\nS: 1 id-a\nS: 2 id-b\nS: 3 id-c\nS: .\n";
const std::string kPipelining = "C: CAPA\nS: +OK\nS: PIPELINING\nS: .\n";
std::string Stat(int count) { return kAuth + "C: STAT\nS: +OK " + std::to_string(count) + " 4096\n"; }

// A server that deletes at DELE, not at QUIT, and cuts the session after two DELEs: every
// message with an id was flushed and its id recorded before any DELE went out (one flush for
// the group), so all three stay, and the next session only deletes what is left.
TEST_F(GetMailTest, MessagesWithIdsAreKeptBeforeTheirDeleteGoesOut) {
  const std::string state = mail_dir + "System/uids-joe@pop.example.txt";
  const std::string retrs = Retr(1, kFirst) + Retr(2, kSecond) + Retr(3, kThird);
  const std::string cut = Dele(1) + Dele(2) + "C: DELE 3\nCLOSE\n";
  for (bool pipelined : {false, true}) {
    SCOPED_TRACE(pipelined);
    std::remove(state.c_str());
    int flushes = 0;
    flush = [&](const Strings& files) {
      EXPECT_EQ(files.size(), 3u);
      EXPECT_FALSE(Sent("DELE"));
      return ++flushes > 0;
    };
    Fetch(Stat(3) + (pipelined ? kPipelining : "C: CAPA\nS: -ERR\n") + "C: UIDL\n" + kIds3 + retrs + cut);
    EXPECT_EQ(fake->Problems(), Strings{});
    EXPECT_EQ(flushes, 1);
    EXPECT_EQ(Stored(), (Strings{kFirst, kSecond, kThird}));
    EXPECT_EQ(testing::ReadFile(state), "id-a\nid-b\nid-c\n");
    EXPECT_EQ(received, 3);
    EXPECT_TRUE(mail->ErrorFlag);
    // The server deleted 1 and 2; 3 is here already: only deleted.
    Fetch(Stat(1) + "C: CAPA\nS: -ERR\nC: UIDL\nS: +OK\nS: 1 id-c\nS: .\n" + Dele(1) + kQuit);
    ExpectPlayed();
    EXPECT_EQ(received, 0);
  }
}

// A write to the spool folder fails (the disk is full): no further RETR, no DELE for what was
// not stored, one box that says so; the next run, with room again, fetches the rest.
TEST_F(GetMailTest, AFullDiskEndsTheRunAtTheFirstFailedWrite) {
  const std::string kFull = "The disk is full: 1 messages were stored, 3 stay on the server.";
  const std::string four = Retr(1, kFirst) + Retr(2, kSecond) + Retr(3, kThird) + Retr(4, kFirst);
  const std::pair<const char*, std::string> rows[] = {
      {"one by one", Login(4) + Retr(1, kFirst) + Dele(1) + Retr(2, kSecond) + kQuit},
      {"pipelined, with ids", Stat(4) + kPipelining + "C: UIDL\nS: +OK\nS: 1 a\nS: 2 b\nS: 3 c\nS: 4 d\nS: .\n" +
                                  four + Dele(1) + kQuit},
  };
  for (const auto& [name, script] : rows) {
    SCOPED_TRACE(name);
    int writes = 0;
    SetSpoolWriteFault([&](size_t) { return ++writes > 1 ? ENOSPC : 0; });
    Fetch(script);
    SetSpoolWriteFault(nullptr);
    ExpectPlayed();
    EXPECT_FALSE(Sent("DELE 2"));
    EXPECT_EQ(ui.Texts(), Strings{kFull});
    EXPECT_EQ(Stored(), Strings{kFirst});
    EXPECT_EQ(received, 1);
    EXPECT_EQ(skipped, 1);
    EXPECT_TRUE(mail->ErrorFlag);
    Fetch(Login(3) + Retr(1, kSecond) + Dele(1) + Retr(2, kThird) + Dele(2) + Retr(3, kFirst) + Dele(3) + kQuit);
    ExpectPlayed();
    EXPECT_EQ(received, 3);
    EXPECT_TRUE(ui.boxes.empty());
  }
}

// The same on a real file system that fills up, where the test may mount one (as root).
TEST_F(GetMailTest, AFullFileSystemEndsTheRunToo) {
  const std::string spool = mail_dir + "Spool";
  if (::mount("tmpfs", spool.c_str(), "tmpfs", 0, "size=128k") != 0)
    GTEST_SKIP() << "no small tmpfs can be mounted here (that needs root): " << std::strerror(errno);
  struct Unmount {
    std::string path;
    ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
  } unmount{spool};
  Fetch(Login(3) + Retr(1, kFirst) + Dele(1) + Retr(2, BodyLines(300 << 10)) + kQuit);
  ExpectPlayed();
  EXPECT_EQ(ui.Texts(), Strings{"The disk is full: 1 messages were stored, 2 stay on the server."});
  EXPECT_EQ(Stored(), Strings{kFirst});
  EXPECT_FALSE(Sent("DELE 2"));
}

// Ids that cannot be trusted: those that name one message are used, the others' messages are
// fetched without one, and a box says once that ids cannot be kept.
TEST_F(GetMailTest, IdsThatCannotBeKeptAreToldInABox) {
  const std::string state = mail_dir + "System/uids-joe@pop.example.txt";
  MailSettings.LeaveMailOnServer = true;
  testing::WriteFile(state, "id-a\n");
  Fetch(Login(4, "S: +OK\nS: 1 id-a\nS: 2 same\nS: 3 same\nS: 4 bad id\nS: .\n") + Retr(2, kFirst) +
        Retr(3, kSecond) + Retr(4, kThird) + "C: RSET\nS: +OK\n" + kQuit);
  ExpectPlayed();
  EXPECT_EQ(received, 3);
  EXPECT_EQ(ui.Texts(), Strings{"The mail server gives 3 of its messages no unique id that can be trusted. Messages "
                                "left on the server will be fetched again at the next Get."});

  // The ids file cannot be written (a folder is in its way): said once, in a box.
  std::remove(state.c_str());
  ASSERT_EQ(mkdir(state.c_str(), 0700), 0);
  const std::string box = "The list of messages already fetched could not be written to " + state + ".";
  for (bool leave : {true, false}) {
    SCOPED_TRACE(leave);
    MailSettings.LeaveMailOnServer = leave;
    // Deleting, the messages go back to the rule without ids: kept once QUIT commits.
    Fetch(Login(2, "S: +OK\nS: 1 id-a\nS: 2 id-b\nS: .\n") + Retr(1, kFirst) + Retr(2, kSecond) +
          (leave ? "C: RSET\nS: +OK\n" : Dele(1) + Dele(2)) + kQuit);
    ExpectPlayed();
    EXPECT_EQ(Stored(), (Strings{kFirst, kSecond}));
    EXPECT_EQ(ui.Texts(), Strings{box + (leave ? " Messages left on the server will be fetched again at the next Get."
                                               : " Messages may be fetched twice if a session breaks off.")});
  }
}

// A server that drips short lines, each well within the line watchdog, loses the session
// once too few bytes came in an interval.
TEST_F(GetMailTest, AServerThatDripsLinesLosesTheSession) {
  std::string drip;
  for (int i = 0; i < 100; ++i) drip += "S: line\nPAUSE 10\n";
  Start(Login(1) + "C: RETR 1\nS: +OK 5000 octets\n" + drip + "S: .\n" + Dele(1) + kQuit);
  mail->ProgressInterval = std::chrono::milliseconds(50);
  mail->ProgressMinimum = 4096;
  mail->GetNewMail(received, skipped);
  EXPECT_EQ(fake->Problems(), Strings{});
  EXPECT_EQ(received, 0);
  EXPECT_TRUE(mail->ErrorFlag);
  EXPECT_FALSE(Sent("DELE"));
  EXPECT_EQ(Stored(), Strings{});
  ASSERT_FALSE(status.Lines().empty());
  EXPECT_TRUE(status.Lines().back().starts_with("Transfer error: the mail server sent only ")) << status.Lines().back();
}

// A server that offers UTF8 gets it before the login, the only state that takes it; a
// refusal changes nothing.
TEST_F(GetMailTest, UTF8IsEnabledWhenOffered) {
  for (const char* answer : {"+OK UTF8 enabled", "-ERR not now"}) {
    SCOPED_TRACE(answer);
    Fetch("S: +OK POP3 ready\nC: CAPA\nS: +OK\nS: UIDL\nS: UTF8 USER\nS: .\nC: UTF8\nS: " + std::string(answer) +
          "\nC: USER joe\nS: +OK\nC: PASS secret\nS: +OK logged in\nC: STAT\nS: +OK 1 4096\nC: CAPA\nS: -ERR" +
          "\nC: UIDL\nS: +OK\nS: 1 " + std::string(answer, 1) + "\nS: .\n" + Retr(1, kFirst) + Dele(1) + kQuit);
    ExpectPlayed();
    EXPECT_EQ(received, 1);
    EXPECT_FALSE(mail->ErrorFlag);
    EXPECT_TRUE(ui.boxes.empty());
  }
}

}  // namespace
}  // namespace corvelle
