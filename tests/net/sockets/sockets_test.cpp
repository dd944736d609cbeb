#include "net/sockets/sockets.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>

#include "net/support/fake_transport.h"
#include "net/sockets/tcp_transport.h"
#include "net/support/poll_notifier.h"
#include "net/support/scripted_server.h"
#include "support/recording_ui.h"

namespace corvelle {
namespace {

using testing::ClosedPort;
using testing::ScriptedServer;
using testing::ServerScript;
using Clock = std::chrono::steady_clock;
using Strings = std::vector<std::string>;

class SocketsTest : public ::testing::Test {
 protected:
  SocketsTest() {
    SetProgramExit([this](int code) { exits.push_back(code); });
    sockets.SetNonBlocking(false);
  }
  ~SocketsTest() override { SetProgramExit(nullptr); }

  // Reports go to `errors` as "<code> <text>".
  void CatchErrors() {
    sockets.OnErrorOccurred = [this](TSockets&, int, int error, const std::string& msg) {
      errors.push_back(std::to_string(error) + " " + msg);
    };
  }
  // Connects to a new in-process server that sends `bytes` and then plays `script`, at most
  // `chunk` bytes per read (1: a trickle).
  FakeServer& Serve(const std::string& bytes, size_t chunk = 65536, std::string_view script = "") {
    FakeServer& server = NewFake();
    if (!bytes.empty()) server.AddSteps({{DialogueStep::Kind::kServer, bytes}});
    server.AddScript(script);
    server.SetChunkSize(chunk);
    sockets.SConnect();
    EXPECT_NE(sockets.Socket, -1);
    return server;
  }
  // A new in-process server that answers the connection with `connect_result`; not connected.
  FakeServer& NewFake(int connect_result = 0) {
    fakes.push_back(std::make_unique<FakeServer>());
    fakes.back()->SetConnectResult(connect_result);
    sockets.SetTransport(fakes.back()->NewTransport());
    sockets.IPAddr = "mail.example";
    sockets.Port = "110";
    return *fakes.back();
  }
  void ConnectTo(const std::string& host, const std::string& port) {
    sockets.IPAddr = host;
    sockets.Port = port;
    sockets.SConnect();
  }
  // A new blocking client to 127.0.0.1:`port` with the error handler of `sockets`, connected.
  std::unique_ptr<TSockets> NewClient(const std::string& port, int timeout) {
    auto client = std::make_unique<TSockets>();
    client->SetNonBlocking(false);
    client->Timeout = timeout;
    client->OnErrorOccurred = sockets.OnErrorOccurred;
    client->IPAddr = "127.0.0.1";
    client->Port = port;
    client->SConnect();
    EXPECT_NE(client->Socket, -1);
    return client;
  }
  // Runs an asynchronous connection to 127.0.0.1:`port` until `done` (bounded).
  bool RunAsync(const std::string& port, const std::function<bool()>& done) {
    loop.emplace();
    sockets.SetNonBlocking(true);
    ConnectTo("127.0.0.1", port);
    return loop->RunUntil(done);
  }

  testing::RecordingUi ui;
  std::optional<testing::PollNotifier> loop;  // the event loop of the asynchronous mode
  TSockets sockets;
  std::vector<std::unique_ptr<FakeServer>> fakes;
  std::vector<int> exits;
  Strings errors;
};

// ---- reading -----------------------------------------------------------------------------

TEST_F(SocketsTest, ReceiveLineCountsTheBytesTakenAndDropsTheCrBeforeLf) {
  const struct {
    const char* name;
    std::string sent;
    std::vector<std::pair<std::string, int>> reads;  // each line and the bytes taken; 0: failed
  } rows[] = {
      {"CR LF", "250 OK\r\n", {{"250 OK", 8}}},
      {"bare LF", "250 OK\n", {{"250 OK", 7}}},
      {"CR inside the line is kept", "a\rb\r\n", {{"a\rb", 5}}},
      {"empty line", "\r\n", {{"", 2}}},
      {"NUL bytes", std::string("a\0b\r\n", 5), {{std::string("a\0b", 3), 5}}},
      {"8-bit bytes", "\xE9t\xE9\xFF\r\n", {{"\xE9t\xE9\xFF", 6}}},
      {"LF as the 255th byte", std::string(254, 'x') + "\n", {{std::string(254, 'x'), 255}}},
      {"a long line is split at 255 bytes", std::string(255, 'a') + std::string(45, 'b') + "\r\nnext\r\n",
       {{std::string(255, 'a'), 255}, {std::string(45, 'b'), 47}, {"next", 6}}},
      {"a CR on the split stays with the first part", std::string(254, 'a') + "\r\n",
       {{std::string(254, 'a') + "\r", 255}, {"", 1}}},
      {"a line the server never ends is not returned", "+OK half a li", {{"", 0}}},
      {"reads after the peer closed fail at once", "+OK\r\n", {{"+OK", 5}, {"", 0}, {"", 0}, {"", 0}}},
  };
  for (size_t chunk : {size_t(65536), size_t(1)}) {
    for (const auto& row : rows) {
      SCOPED_TRACE(std::string(row.name) + ", chunk " + std::to_string(chunk));
      FakeServer& server = Serve(row.sent, chunk, "CLOSE");
      for (const auto& [expected, taken] : row.reads) {
        std::string line = "old";
        EXPECT_EQ(sockets.ReceiveLine(sockets.Socket, line), taken);
        EXPECT_EQ(line, expected);
        EXPECT_EQ(sockets.LastReceiveError(), taken ? 0 : 10054);
      }
      EXPECT_EQ(server.Problems(), Strings{});
    }
  }
}

TEST_F(SocketsTest, ReceiveLongLineKeepsLongLinesWholeAndNeverEndsAPieceBetweenCrAndLf) {
  for (size_t chunk : {size_t(65536), size_t(1)}) {
    SCOPED_TRACE(chunk);
    Serve(std::string(2000, 'L') + "\r\n.\r\nabcdefghi\r\nxy\rz\r\n", chunk);
    std::string line;
    bool complete = false;
    EXPECT_EQ(sockets.ReceiveLongLine(line, complete), 2002);
    EXPECT_TRUE(complete);
    EXPECT_EQ(line, std::string(2000, 'L'));
    EXPECT_EQ(sockets.ReceiveLongLine(line, complete), 3);
    EXPECT_EQ(line, ".");
    EXPECT_EQ(sockets.ReceiveLongLine(line, complete, 10), 9);
    EXPECT_FALSE(complete);
    EXPECT_EQ(line, "abcdefghi");
    EXPECT_EQ(sockets.ReceiveLongLine(line, complete, 10), 2);
    EXPECT_TRUE(complete);
    EXPECT_EQ(line, "");
    EXPECT_EQ(sockets.ReceiveLongLine(line, complete, 10), 6);
    EXPECT_EQ(line, "xy\rz");
  }
}

TEST_F(SocketsTest, ReceiveReplyReadsWholeRepliesAndFailsOnBrokenOnes) {
  std::string endless;
  for (int i = 0; i < 1500; ++i) endless += "250-more\r\n";
  const struct {
    const char* name;
    std::string sent;
    Strings replies;
    bool then_fails, closes = false;
  } rows[] = {
      {"continuation lines joined", "250-first\r\n250-second\r\n250 last\r\n220 next reply\r\n",
       {"250-first\r\n250-second\r\n250 last", "220 next reply"}, false},
      {"lines over 255 bytes read whole", "250-" + std::string(300, 'w') + "\r\n250 done\r\n",
       {"250-" + std::string(300, 'w') + "\r\n250 done"}, false},
      {"empty lines skipped, a short line ends a reply", "\r\n+OK\r\n250-x\r\n\r\n250 y\r\n",
       {"+OK", "250-x\r\n250 y"}, false},
      {"the peer closes inside a reply", "220-welcome\r\n", {}, true, true},
      {"an endless reply is given up before its end", endless, {}, true},
  };
  for (size_t chunk : {size_t(65536), size_t(1)}) {
    for (const auto& row : rows) {
      SCOPED_TRACE(std::string(row.name) + ", chunk " + std::to_string(chunk));
      FakeServer& server = Serve(row.sent, chunk, row.closes ? "CLOSE" : "");
      std::string reply;
      for (const std::string& expected : row.replies) {
        EXPECT_TRUE(sockets.ReceiveReply(sockets.Socket, reply));
        EXPECT_EQ(reply, expected);
      }
      if (row.then_fails) {
        EXPECT_FALSE(sockets.ReceiveReply(sockets.Socket, reply));
      }
      EXPECT_EQ(server.Problems(), Strings{}) << "read no further than the script";
    }
  }
}

TEST_F(SocketsTest, AWholeLineOfMoreThan16MiBIsRefused) {
  Serve(std::string((16 << 20) + 10, 'h') + "\r\n");
  std::string line;
  EXPECT_FALSE(sockets.ReceiveWholeLine(line, 100));
  EXPECT_EQ(sockets.LastReceiveError(), 10040);
  EXPECT_EQ(line, "");
}

// ---- writing -----------------------------------------------------------------------------

TEST_F(SocketsTest, TextIsSentBeforeTheNextReadAndOnDisconnect) {
  FakeServer& server = Serve("", 65536, "S: +OK hello\nC: USER joe\nC: PASS pw\nS: +OK\nC: QUIT\n");
  std::string line;
  sockets.ReceiveLine(line);
  sockets.SetText("USER joe\r\n");
  sockets.SetText("PASS pw\r\n");
  EXPECT_EQ(server.Written(), "");  // still buffered
  EXPECT_EQ(sockets.ReceiveLine(line), 5);
  EXPECT_EQ(server.Written(), "USER joe\r\nPASS pw\r\n");
  sockets.SetText("QUIT\r\n");
  sockets.Disconnect();
  EXPECT_EQ(sockets.Socket, -1);
  EXPECT_EQ(server.Written(), "USER joe\r\nPASS pw\r\nQUIT\r\n");
  EXPECT_EQ(server.Problems(), Strings{});
  EXPECT_TRUE(server.Finished());
}

// ---- connecting and errors ---------------------------------------------------------------

TEST_F(SocketsTest, AnEmptyPortOrAddressShowsABoxAndMakesNoSocket) {
  FakeServer& server = NewFake();
  sockets.Port = "";
  sockets.SConnect();
  sockets.Port = "110";
  sockets.IPAddr = "";
  sockets.SConnect();
  ASSERT_EQ(ui.Texts(), (Strings{"No Port Specified", "No IP Address Specified"}));
  for (const auto& box : ui.boxes) {
    EXPECT_EQ(box.caption, "WINSOCK ERROR");
    EXPECT_EQ(box.buttons, Buttons::OkCancel);
  }
  EXPECT_EQ(server.Connections(), 0);
  EXPECT_EQ(sockets.Socket, -1);
  EXPECT_TRUE(exits.empty());
}

TEST_F(SocketsTest, AHostThatCannotBeResolvedShowsCannotConvertHostAddress) {
  CatchErrors();
  for (int code : {11001, 11002}) {
    NewFake(code);
    sockets.SConnect();
    EXPECT_EQ(sockets.Socket, -1);
  }
  EXPECT_EQ(ui.Texts(), (Strings{"Cannot convert host address", "Cannot convert host address"}));
  EXPECT_TRUE(errors.empty());
}

TEST_F(SocketsTest, AnErrorGoesToTheHandlerOrElseToABoxThatEndsTheProgram) {
  CatchErrors();
  NewFake(10061);
  sockets.SConnect();
  EXPECT_EQ(sockets.Socket, -1);
  EXPECT_EQ(errors, Strings{"10061 Connection refused"});
  EXPECT_TRUE(ui.boxes.empty());

  sockets.OnErrorOccurred = nullptr;
  NewFake(10061);
  sockets.SConnect();
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, "Error 10061 in function SConnect\r\nConnection refused");
  EXPECT_EQ(ui.boxes[0].caption, "WINSOCK ERROR");
  EXPECT_EQ(ui.boxes[0].buttons, Buttons::OkCancel);
  EXPECT_EQ(exits, std::vector<int>{0});

  sockets.ReportError(-1, std::string(300, 'n'), 10054);
  ASSERT_EQ(ui.boxes.size(), 2u);
  EXPECT_EQ(ui.boxes[1].text.size(), 255u) << "the box is cut to 255 characters";
  EXPECT_EQ(ui.boxes[1].text.substr(0, 29), "Error 10054 in function nnnnn");
}

TEST_F(SocketsTest, WritingOrClosingWithoutAConnectionReports10038) {
  CatchErrors();
  sockets.SetText("NOOP\r\n");
  sockets.Disconnect();
  sockets.CancelListen();
  EXPECT_EQ(errors, Strings(3, "10038 Socket operation on non-socket"));
  EXPECT_EQ(sockets.ListenSocket, 0);
  sockets.OnErrorOccurred = nullptr;
  sockets.CancelListen();
  EXPECT_EQ(ui.Texts(), Strings{"Error 10038 in function CancelListen (closesocket)\r\nSocket operation on non-socket"});
  EXPECT_EQ(exits, std::vector<int>{0});
}

TEST(ErrorText, WinSockCodesAndOthers) {
  const std::pair<int, const char*> rows[] = {
      {10004, "Interrupted system call"}, {10054, "Connection reset by peer"}, {10060, "Connection timed out"},
      {10061, "Connection refused"},      {10093, "WinSock not initialized"},  {11001, "Host not found"},
      {11004, "No Data"},                 {0, "Not a WinSock error"},          {10072, "Not a WinSock error"},
      {10090, "Not a WinSock error"},     {12345, "Not a WinSock error"},
  };
  for (const auto& [code, text] : rows) EXPECT_EQ(TSockets::ErrorText(code), text) << code;
}

TEST_F(SocketsTest, NotificationsCallTheirEventsAndReportTheirErrors) {
  Strings called;
  auto record = [&called](const char* name) {
    return [&called, name](TSockets&, int socket) { called.push_back(std::string(name) + " " + std::to_string(socket)); };
  };
  sockets.OnDataAvailable = record("available");
  sockets.OnDataNeeded = record("needed");
  sockets.OnSessionAvailable = record("session available");
  sockets.OnSessionConnected = record("connected");
  sockets.OnSessionClosed = record("closed");
  for (int event : {int(FD_READ), int(FD_WRITE), int(FD_ACCEPT), int(FD_CONNECT), int(FD_CLOSE), 64})
    sockets.SocketNotification(7, event, 0);
  EXPECT_EQ(called, (Strings{"available 7", "needed 7", "session available 7", "connected 7", "closed 7"}));
  sockets.SocketNotification(7, FD_CONNECT, 10000);  // not above 10000: the event, no report
  EXPECT_EQ(called.size(), 6u);
  EXPECT_TRUE(ui.boxes.empty());
  for (int event : {int(FD_READ), int(FD_WRITE), int(FD_ACCEPT), int(FD_CONNECT), int(FD_CLOSE), 3})
    sockets.SocketNotification(7, event, 10061);
  Strings expected;
  for (const char* name : {"FD_READ", "FD_WRITE", "FD_ACCEPT", "FD_CONNECT", "FD_CLOSE", ""})
    expected.push_back(std::string("Error 10061 in function ") + name + "\r\nConnection refused");
  EXPECT_EQ(ui.Texts(), expected);
  EXPECT_EQ(called.size(), 6u);
}

// ---- over real sockets -------------------------------------------------------------------

TEST_F(SocketsTest, TalksOverIPv4AndIPv6AndResolvesNames) {
  const struct {
    const char* host;
    bool ipv6;
    const char* local;
  } rows[] = {{"127.0.0.1", false, "127.0.0.1"}, {"::1", true, "::1"}, {"localhost", false, "127.0.0.1"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.host);
    ScriptedServer server("S: +OK ready\nC: QUIT\nS: +OK bye\nCLOSE", {.ipv6 = row.ipv6});
    ConnectTo(row.host, server.Port());
    ASSERT_NE(sockets.Socket, -1);
    EXPECT_EQ(sockets.LocalAddress(sockets.Socket), row.local);
    std::string line;
    EXPECT_EQ(sockets.ReceiveLine(line), 11);
    EXPECT_EQ(line, "+OK ready");
    sockets.SetText("QUIT\r\n");
    EXPECT_EQ(sockets.ReceiveLine(line), 9);
    EXPECT_EQ(line, "+OK bye");
    sockets.Disconnect();
    EXPECT_TRUE(server.WaitDone());
    EXPECT_TRUE(server.Finished());
    EXPECT_EQ(server.Problems(), Strings{});
  }
}

TEST_F(SocketsTest, ARealRefusedConnectionReports10061) {
  CatchErrors();
  ClosedPort closed;
  ConnectTo("127.0.0.1", closed.Port());
  EXPECT_EQ(sockets.Socket, -1);
  EXPECT_EQ(errors, Strings{"10061 Connection refused"});
}

TEST_F(SocketsTest, ASilentServerTripsTheWatchdogWhileEventsAreProcessed) {
  CatchErrors();
  sockets.Timeout = 1;
  ScriptedServer server("S: +OK\nSTALL");
  ConnectTo("127.0.0.1", server.Port());
  std::string line;
  EXPECT_EQ(sockets.ReceiveLine(line), 5);
  int events_before = ui.events_processed;
  auto start = Clock::now();
  EXPECT_EQ(sockets.ReceiveLine(line), 0);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(sockets.LastReceiveError(), 10060);
  EXPECT_GT(ui.events_processed, events_before + 5);
  EXPECT_EQ(errors, Strings{"10060 Blocking call timed out"});
}

TEST_F(SocketsTest, WithoutAHandlerTheWatchdogShowsItsBoxAndTheProgramGoesOn) {
  sockets.Timeout = 1;
  ScriptedServer server("STALL");
  ConnectTo("127.0.0.1", server.Port());
  std::string line;
  EXPECT_EQ(sockets.ReceiveLine(line), 0);
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, "Error 10060\r\nBlocking call timed out");
  EXPECT_EQ(ui.boxes[0].caption, "WINSOCK CALL CANCELED");
  EXPECT_EQ(ui.boxes[0].buttons, Buttons::OkCancel);
  EXPECT_TRUE(exits.empty());
}

TEST_F(SocketsTest, BigTextsReachASlowReaderWhole) {
  std::string big(3 << 20, 'b');
  ScriptedServer server(std::vector<DialogueStep>{{DialogueStep::Kind::kClient, big + "\r\n"},
                                                  {DialogueStep::Kind::kServer, "+OK\r\n"}},
                        {.receive_buffer = 4096});
  ConnectTo("127.0.0.1", server.Port());
  sockets.SetText(big + "\r\n");
  std::string line;
  EXPECT_EQ(sockets.ReceiveLine(line), 5);
  EXPECT_EQ(server.Problems(), Strings{});
}

// ---- the watchdog against servers that drip their bytes -----------------------------------
// A line or a reply must be complete within the time-out, however many bytes trickle in
// meanwhile, and Cancel still ends a wait.

// Each way of reading, against a server that keeps sending but never finishes in time.
TEST_F(SocketsTest, ADrippedLineOrReplyEndsAtTheWatchdog) {
  CatchErrors();
  const std::string slow_line = "+OK a greeting sent one byte at a time\r\n";
  ServerScript slow_reply;  // each line quick, the whole reply not
  for (int i = 0; i < 10; ++i) slow_reply.Send("250-line " + std::to_string(i) + "\r\n").Pause(300);
  slow_reply.Send("250 end\r\n");
  std::string tail;
  const struct {
    const char* name;
    ServerScript script;
    std::function<bool(TSockets&)> read;
  } rows[] = {
      {"ReceiveLine", ServerScript().Drip(slow_line, 200), [&](TSockets& s) { return s.ReceiveLine(tail) > 0; }},
      {"ReceiveLongLine", ServerScript().Drip(slow_line, 200),
       [&](TSockets& s) {
         bool complete = false;
         return s.ReceiveLongLine(tail, complete) > 0;
       }},
      {"ReceiveWholeLine", ServerScript().Drip(slow_line, 200), [&](TSockets& s) { return s.ReceiveWholeLine(tail); }},
      {"ReceiveReply, each line quick", slow_reply, [&](TSockets& s) { return s.ReceiveReply(s.Socket, tail); }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    errors.clear();
    ScriptedServer dripping(row.script);
    auto client = NewClient(dripping.Port(), 1);
    auto start = Clock::now();
    EXPECT_FALSE(row.read(*client));
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(2500));
    EXPECT_EQ(client->LastReceiveError(), 10060);
    EXPECT_EQ(errors, Strings{"10060 Blocking call timed out"});
  }
}

TEST_F(SocketsTest, EachLineGetsItsOwnTime) {
  CatchErrors();
  ScriptedServer server(ServerScript().Send("+OK one\r\n").Pause(700).Send("+OK two\r\n").Pause(700)
                            .Send("250-a\r\n250 b\r\n"));
  sockets.Timeout = 1;
  ConnectTo("127.0.0.1", server.Port());
  std::string line;
  EXPECT_EQ(sockets.ReceiveLine(line), 9);
  EXPECT_EQ(sockets.ReceiveLine(line), 9);
  EXPECT_EQ(line, "+OK two");
  EXPECT_TRUE(sockets.ReceiveReply(sockets.Socket, line));
  EXPECT_EQ(line, "250-a\r\n250 b");
  EXPECT_TRUE(errors.empty());
}

// Cancel ends a wait at once, whether the server is silent, drips its bytes or halts in the
// middle of a line. A read it ends takes nothing: the next read gets the whole line, so a
// caller can carry on with the stream in step.
TEST_F(SocketsTest, CancelEndsAWaitingReadAndTakesNothing) {
  CatchErrors();
  using Read = std::function<long(TSockets&, std::string&)>;
  const Read line = [](TSockets& s, std::string& text) { return long{s.ReceiveLine(text)}; };
  const Read long_line = [](TSockets& s, std::string& text) {
    bool complete = false;
    return s.ReceiveLongLine(text, complete);
  };
  const Read whole_line = [](TSockets& s, std::string& text) { return s.ReceiveWholeLine(text, 4) ? 1L : 0L; };
  const ServerScript halting = ServerScript().Send("+OK hel").Pause(600).Send("lo\r\n");
  const struct {
    const char* name;
    ServerScript script;
    Read read;
    int press_at;      // events into the read
    const char* next;  // the whole line read after it; "" for no more reading
  } rows[] = {
      {"silent server", ParseDialogue("STALL"), line, 3, ""},
      {"dripping server", ServerScript().Drip("+OK this line takes far too long to arrive\r\n", 200), line, 20, ""},
      {"ReceiveLine halted in a line", halting, line, 10, "+OK hello"},
      {"ReceiveLongLine halted in a line", halting, long_line, 10, "+OK hello"},
      {"ReceiveWholeLine in pieces of 4 bytes halted in a line", halting, whole_line, 10, "+OK hello"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    errors.clear();
    ScriptedServer server(row.script);
    auto client = NewClient(server.Port(), 60);
    int at = ui.events_processed;
    ui.on_events = [&] {
      if (ui.events_processed == at + row.press_at) client->CancelListen();
    };
    auto start = Clock::now();
    std::string text = "old";
    EXPECT_EQ(row.read(*client, text), 0);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
    EXPECT_EQ(text, "");
    EXPECT_EQ(client->LastReceiveError(), 10004);
    EXPECT_EQ(errors, Strings{"10038 Socket operation on non-socket"});  // CancelListen's own, no time-out
    ui.on_events = nullptr;
    if (!*row.next) continue;
    EXPECT_TRUE(client->ReceiveWholeLine(text));
    EXPECT_EQ(text, row.next);
  }
}

// ---- asynchronous mode -------------------------------------------------------------------

TEST_F(SocketsTest, TheAsynchronousModeDeliversTheEvents) {
  ScriptedServer server("S: +OK ready\nC: QUIT\nS: +OK bye\nCLOSE");
  Strings events;
  sockets.OnSessionConnected = [&](TSockets&, int) { events.push_back("connected"); };
  sockets.OnDataNeeded = [&](TSockets&, int) { events.push_back("needed"); };
  sockets.OnDataAvailable = [&](TSockets& s, int) {
    std::string line;
    s.ReceiveLine(line);
    events.push_back("read " + line);
    if (line == "+OK ready") s.SetText("QUIT\r\n");
  };
  sockets.OnSessionClosed = [&](TSockets&, int) { events.push_back("closed"); };
  EXPECT_TRUE(RunAsync(server.Port(), [&] { return !events.empty() && events.back() == "closed"; }));
  EXPECT_EQ(events, (Strings{"connected", "needed", "read +OK ready", "read +OK bye", "closed"}));
  sockets.Disconnect();
  EXPECT_TRUE(server.WaitDone());
  EXPECT_TRUE(server.Finished());
}

TEST_F(SocketsTest, TheAsynchronousModeSaysAgainWhenLinesAreStillBuffered) {
  ScriptedServer server("S> one\\r\\ntwo\\r\\n\nSTALL");
  Strings lines;
  sockets.OnDataAvailable = [&](TSockets& s, int) {
    std::string line;
    s.ReceiveLine(line);
    lines.push_back(line);
  };
  EXPECT_TRUE(RunAsync(server.Port(), [&] { return lines.size() == 2; }));
  EXPECT_EQ(lines, (Strings{"one", "two"}));
  sockets.Disconnect();
}

TEST_F(SocketsTest, TheAsynchronousModeReportsARefusedConnection) {
  CatchErrors();
  ClosedPort closed;
  bool connected = false;
  sockets.OnSessionConnected = [&](TSockets&, int) { connected = true; };
  EXPECT_TRUE(RunAsync(closed.Port(), [&] { return !errors.empty(); }));
  EXPECT_EQ(errors, Strings{"10061 Connection refused"});
  EXPECT_FALSE(connected);
  EXPECT_EQ(sockets.Socket, -1);
}

}  // namespace
}  // namespace corvelle
