#include "net/sockets.h"

#include <gtest/gtest.h>

#include <chrono>

#include "net/fake_transport.h"
#include "net/tcp_transport.h"
#include "poll_notifier.h"
#include "scripted_server.h"
#include "support/recording_ui.h"

namespace corvelle {
namespace {

using testing::RecordingUi;
using testing::ScriptedServer;
using Clock = std::chrono::steady_clock;

struct Reported {
  int socket, error;
  std::string msg;
};

class SocketsTest : public ::testing::Test {
 protected:
  SocketsTest() {
    SetProgramExit([this](int code) { exits.push_back(code); });
    sockets.SetNonBlocking(false);
  }
  ~SocketsTest() override { SetProgramExit(nullptr); }

  void CatchErrors() {
    sockets.OnErrorOccurred = [this](TSockets&, int socket, int error, const std::string& msg) {
      errors.push_back({socket, error, msg});
    };
  }
  // Connects `sockets` to an in-process fake server.
  void ConnectTo(FakeServer& server) {
    sockets.SetTransport(server.NewTransport());
    sockets.IPAddr = "mail.example";
    sockets.Port = "110";
    sockets.SConnect();
    ASSERT_NE(sockets.Socket, -1);
  }
  void ConnectTo(const ScriptedServer& server, const std::string& host = "127.0.0.1") {
    sockets.IPAddr = host;
    sockets.Port = server.Port();
    sockets.SConnect();
    ASSERT_NE(sockets.Socket, -1);
  }

  RecordingUi ui;
  TSockets sockets;
  std::vector<int> exits;
  std::vector<Reported> errors;
};

// ---- lines -----------------------------------------------------------------------------

struct LineRow {
  const char* name;
  std::string sent;
  std::string line;
  int taken;
};

const LineRow kLineRows[] = {
    {"CR LF", "250 OK\r\n", "250 OK", 8},
    {"bare LF", "250 OK\n", "250 OK", 7},
    {"CR inside the line is kept", std::string("a\rb\r\n"), "a\rb", 5},
    {"empty line", "\r\n", "", 2},
    {"NUL bytes", std::string("a\0b\r\n", 5), std::string("a\0b", 3), 5},
    {"8-bit bytes", "\xE9t\xE9\xFF\r\n", "\xE9t\xE9\xFF", 6},
    {"LF as the 255th byte", std::string(254, 'x') + "\n", std::string(254, 'x'), 255},
};

TEST_F(SocketsTest, ReceiveLineCountsTheBytesTakenAndDropsTheCrBeforeLf) {
  for (size_t chunk : {size_t(65536), size_t(1)}) {
    for (const LineRow& row : kLineRows) {
      FakeServer server;
      server.AddSteps({{DialogueStep::Kind::kServer, row.sent}, {DialogueStep::Kind::kClose, {}}});
      server.SetChunkSize(chunk);
      ConnectTo(server);
      std::string line = "old";
      EXPECT_EQ(sockets.ReceiveLine(sockets.Socket, line), row.taken) << row.name << ", chunk " << chunk;
      EXPECT_EQ(line, row.line) << row.name << ", chunk " << chunk;
    }
  }
}

TEST_F(SocketsTest, ReceiveLineSplitsALongLineAt255Bytes) {
  FakeServer server;
  server.AddSteps({{DialogueStep::Kind::kServer, std::string(255, 'a') + std::string(45, 'b') + "\r\n"}});
  server.AddScript("S: next\nCLOSE");
  ConnectTo(server);
  std::string line;
  EXPECT_EQ(sockets.ReceiveLine(line), 255);
  EXPECT_EQ(line, std::string(255, 'a'));
  EXPECT_EQ(sockets.ReceiveLine(line), 47);
  EXPECT_EQ(line, std::string(45, 'b'));
  EXPECT_EQ(sockets.ReceiveLine(line), 6);
  EXPECT_EQ(line, "next");
}

TEST_F(SocketsTest, ACrThatFallsOnTheSplitStaysWithTheFirstPart) {
  FakeServer server;
  server.AddSteps({{DialogueStep::Kind::kServer, std::string(254, 'a') + "\r\n"}});
  ConnectTo(server);
  std::string line;
  EXPECT_EQ(sockets.ReceiveLine(line), 255);
  EXPECT_EQ(line, std::string(254, 'a') + "\r");
  EXPECT_EQ(sockets.ReceiveLine(line), 1);
  EXPECT_EQ(line, "");
}

TEST_F(SocketsTest, ALineTheServerNeverEndsIsNotReturned) {
  FakeServer server("S> +OK half a li\nCLOSE");
  ConnectTo(server);
  std::string line = "old";
  EXPECT_EQ(sockets.ReceiveLine(line), 0);
  EXPECT_EQ(line, "");
  EXPECT_EQ(sockets.LastReceiveError(), 10054);
}

TEST_F(SocketsTest, ReadsAfterThePeerClosedFailAtOnce) {
  FakeServer server("S: +OK\nCLOSE");
  ConnectTo(server);
  std::string line;
  EXPECT_EQ(sockets.ReceiveLine(line), 5);
  EXPECT_EQ(sockets.LastReceiveError(), 0);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(sockets.ReceiveLine(line), 0);
    EXPECT_EQ(sockets.LastReceiveError(), 10054);
  }
  EXPECT_TRUE(server.Problems().empty());
}

TEST_F(SocketsTest, ReceiveLongLineKeepsLongLinesWhole) {
  for (size_t chunk : {size_t(65536), size_t(1)}) {
    FakeServer server;
    server.AddSteps({{DialogueStep::Kind::kServer, std::string(2000, 'L') + "\r\n.\r\n"}});
    server.SetChunkSize(chunk);
    ConnectTo(server);
    std::string line;
    bool complete = false;
    EXPECT_EQ(sockets.ReceiveLongLine(line, complete), 2002);
    EXPECT_TRUE(complete);
    EXPECT_EQ(line, std::string(2000, 'L'));
    EXPECT_EQ(sockets.ReceiveLongLine(line, complete), 3);
    EXPECT_EQ(line, ".");
  }
}

TEST_F(SocketsTest, ALongLinePieceNeverEndsBetweenCrAndLf) {
  FakeServer server;
  server.AddSteps({{DialogueStep::Kind::kServer, "abcdefghi\r\nxy\rz\r\n"}});
  ConnectTo(server);
  std::string piece;
  bool complete = true;
  EXPECT_EQ(sockets.ReceiveLongLine(piece, complete, 10), 9);
  EXPECT_FALSE(complete);
  EXPECT_EQ(piece, "abcdefghi");
  EXPECT_EQ(sockets.ReceiveLongLine(piece, complete, 10), 2);
  EXPECT_TRUE(complete);
  EXPECT_EQ(piece, "");
  EXPECT_EQ(sockets.ReceiveLongLine(piece, complete, 10), 6);
  EXPECT_EQ(piece, "xy\rz");
}

TEST_F(SocketsTest, ReceiveReplyJoinsContinuationLines) {
  for (size_t chunk : {size_t(65536), size_t(1)}) {
    FakeServer server("S: 250-first\nS: 250-second\nS: 250 last\nS: 220 next reply");
    server.SetChunkSize(chunk);
    ConnectTo(server);
    std::string reply;
    EXPECT_TRUE(sockets.ReceiveReply(sockets.Socket, reply));
    EXPECT_EQ(reply, "250-first\r\n250-second\r\n250 last");
    EXPECT_TRUE(sockets.ReceiveReply(sockets.Socket, reply));
    EXPECT_EQ(reply, "220 next reply");
  }
}

TEST_F(SocketsTest, ReceiveReplyReadsLinesOver255BytesWhole) {
  std::string long_text(300, 'w');
  FakeServer server;
  server.AddSteps({{DialogueStep::Kind::kServer, "250-" + long_text + "\r\n250 done\r\n"}});
  ConnectTo(server);
  std::string reply;
  EXPECT_TRUE(sockets.ReceiveReply(sockets.Socket, reply));
  EXPECT_EQ(reply, "250-" + long_text + "\r\n250 done");
}

TEST_F(SocketsTest, ReceiveReplySkipsEmptyLinesAndShortLinesEndIt) {
  FakeServer server("S:\nS: +OK\nS: 250-x\nS:\nS: 250 y");
  ConnectTo(server);
  std::string reply;
  EXPECT_TRUE(sockets.ReceiveReply(sockets.Socket, reply));
  EXPECT_EQ(reply, "+OK");
  EXPECT_TRUE(sockets.ReceiveReply(sockets.Socket, reply));
  EXPECT_EQ(reply, "250-x\r\n250 y");
}

TEST_F(SocketsTest, ReceiveReplyFailsWhenThePeerClosesMidReply) {
  FakeServer server("S: 220-welcome\nCLOSE");
  ConnectTo(server);
  std::string reply;
  EXPECT_FALSE(sockets.ReceiveReply(sockets.Socket, reply));
}

TEST_F(SocketsTest, ReceiveReplyGivesUpOnAnEndlessReply) {
  FakeServer server;
  std::string endless;
  for (int i = 0; i < 1500; ++i) endless += "250-more\r\n";
  server.AddSteps({{DialogueStep::Kind::kServer, endless}});
  ConnectTo(server);
  std::string reply;
  EXPECT_FALSE(sockets.ReceiveReply(sockets.Socket, reply));
}

TEST_F(SocketsTest, AWholeLineOfMoreThan16MiBIsRefused) {
  FakeServer server;
  server.AddSteps({{DialogueStep::Kind::kServer, std::string((16 << 20) + 10, 'h') + "\r\n"}});
  ConnectTo(server);
  std::string line;
  EXPECT_FALSE(sockets.ReceiveWholeLine(line, 100));
  EXPECT_EQ(sockets.LastReceiveError(), 10040);
  EXPECT_EQ(line, "");
}

// ---- writing ---------------------------------------------------------------------------

TEST_F(SocketsTest, SetTextGoesOutBeforeTheNextRead) {
  FakeServer server("S: +OK hello\nC: USER joe\nC: PASS pw\nS: +OK\n");
  ConnectTo(server);
  std::string line;
  sockets.ReceiveLine(line);
  sockets.SetText("USER joe\r\n");
  sockets.SetText("PASS pw\r\n");
  EXPECT_EQ(server.Written(), "");  // still buffered
  EXPECT_EQ(sockets.ReceiveLine(line), 5);
  EXPECT_EQ(server.Written(), "USER joe\r\nPASS pw\r\n");
  EXPECT_TRUE(server.Problems().empty()) << server.Problems()[0];
  EXPECT_TRUE(server.Finished());
}

TEST_F(SocketsTest, DisconnectSendsWhatIsBuffered) {
  FakeServer server("C: QUIT\n");
  ConnectTo(server);
  sockets.SetText("QUIT\r\n");
  sockets.Disconnect();
  EXPECT_EQ(sockets.Socket, -1);
  EXPECT_EQ(server.Written(), "QUIT\r\n");
  EXPECT_TRUE(server.Finished());
}

// ---- connecting --------------------------------------------------------------------------

TEST_F(SocketsTest, AnEmptyPortOrAddressShowsABoxAndMakesNoSocket) {
  FakeServer server;
  sockets.SetTransport(server.NewTransport());
  sockets.IPAddr = "mail.example";
  sockets.SConnect();
  sockets.Port = "110";
  sockets.IPAddr = "";
  sockets.SConnect();
  ASSERT_EQ(ui.boxes.size(), 2u);
  EXPECT_EQ(ui.boxes[0].text, "No Port Specified");
  EXPECT_EQ(ui.boxes[1].text, "No IP Address Specified");
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
    FakeServer server;
    server.SetConnectResult(code);
    sockets.SetTransport(server.NewTransport());
    sockets.IPAddr = "no.such.host";
    sockets.Port = "110";
    sockets.SConnect();
    EXPECT_EQ(sockets.Socket, -1);
  }
  EXPECT_EQ(ui.Texts(), (std::vector<std::string>{"Cannot convert host address", "Cannot convert host address"}));
  EXPECT_TRUE(errors.empty());
}

TEST_F(SocketsTest, ARefusedConnectionIsReportedAndLeavesNoSocket) {
  CatchErrors();
  FakeServer server;
  server.SetConnectResult(10061);
  sockets.SetTransport(server.NewTransport());
  sockets.IPAddr = "127.0.0.1";
  sockets.Port = "110";
  sockets.SConnect();
  EXPECT_EQ(sockets.Socket, -1);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].error, 10061);
  EXPECT_EQ(errors[0].msg, "Connection refused");
  EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(SocketsTest, WithoutAHandlerAnErrorShowsItsBoxAndEndsTheProgram) {
  FakeServer server;
  server.SetConnectResult(10061);
  sockets.SetTransport(server.NewTransport());
  sockets.IPAddr = "127.0.0.1";
  sockets.Port = "110";
  sockets.SConnect();
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, "Error 10061 in function SConnect\r\nConnection refused");
  EXPECT_EQ(ui.boxes[0].caption, "WINSOCK ERROR");
  EXPECT_EQ(ui.boxes[0].buttons, Buttons::OkCancel);
  EXPECT_EQ(exits, std::vector<int>{0});
}

TEST_F(SocketsTest, TheErrorBoxIsCutTo255Characters) {
  sockets.ReportError(-1, std::string(300, 'n'), 10054);
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text.size(), 255u);
  EXPECT_EQ(ui.boxes[0].text.substr(0, 29), "Error 10054 in function nnnnn");
}

TEST_F(SocketsTest, WritingOrClosingWithoutAConnectionReports10038) {
  CatchErrors();
  sockets.SetText("NOOP\r\n");
  sockets.Disconnect();
  sockets.CancelListen();
  ASSERT_EQ(errors.size(), 3u);
  for (const Reported& error : errors) {
    EXPECT_EQ(error.error, 10038);
    EXPECT_EQ(error.msg, "Socket operation on non-socket");
  }
  EXPECT_EQ(sockets.ListenSocket, 0);
}

TEST_F(SocketsTest, CancelListenWithoutAHandlerNamesItsFunction) {
  sockets.CancelListen();
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, "Error 10038 in function CancelListen (closesocket)\r\nSocket operation on non-socket");
  EXPECT_EQ(exits, std::vector<int>{0});
}

TEST(ErrorText, WinSockCodesAndOthers) {
  struct Row {
    int code;
    const char* text;
  } rows[] = {
      {10004, "Interrupted system call"}, {10035, "Operation would block"},
      {10038, "Socket operation on non-socket"}, {10049, "Can't assign requested address"},
      {10054, "Connection reset by peer"}, {10059, "Too many references: can't splice"},
      {10060, "Connection timed out"}, {10061, "Connection refused"}, {10071, "Too many levels of remote in path"},
      {10091, "Network sub-system is unusable"}, {10093, "WinSock not initialized"}, {11001, "Host not found"},
      {11002, "Non-authoritative host not found"}, {11004, "No Data"}, {12345, "Not a WinSock error"},
      {0, "Not a WinSock error"}, {10072, "Not a WinSock error"}, {10090, "Not a WinSock error"},
  };
  for (const Row& row : rows) EXPECT_EQ(TSockets::ErrorText(row.code), row.text) << row.code;
}

TEST_F(SocketsTest, NotificationsCallTheirEventsAndReportTheirErrors) {
  std::vector<std::string> called;
  auto record = [&called](const char* name) {
    return [&called, name](TSockets&, int socket) { called.push_back(std::string(name) + " " + std::to_string(socket)); };
  };
  sockets.OnDataAvailable = record("available");
  sockets.OnDataNeeded = record("needed");
  sockets.OnSessionAvailable = record("session available");
  sockets.OnSessionConnected = record("connected");
  sockets.OnSessionClosed = record("closed");
  for (int event : {int(FD_READ), int(FD_WRITE), int(FD_ACCEPT), int(FD_CONNECT), int(FD_CLOSE), 64}) sockets.SocketNotification(7, event, 0);
  EXPECT_EQ(called, (std::vector<std::string>{"available 7", "needed 7", "session available 7", "connected 7", "closed 7"}));
  sockets.SocketNotification(7, FD_CONNECT, 10000);  // not above 10000: the event, no report
  EXPECT_EQ(called.size(), 6u);
  EXPECT_TRUE(ui.boxes.empty());
  const std::pair<int, const char*> failures[] = {{FD_READ, "FD_READ"},       {FD_WRITE, "FD_WRITE"},
                                                  {FD_ACCEPT, "FD_ACCEPT"},   {FD_CONNECT, "FD_CONNECT"},
                                                  {FD_CLOSE, "FD_CLOSE"},     {3, ""}};
  for (const auto& [event, name] : failures) {
    ui.boxes.clear();
    sockets.SocketNotification(7, event, 10061);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, std::string("Error 10061 in function ") + name + "\r\nConnection refused");
  }
  EXPECT_EQ(called.size(), 6u);
}

// ---- over real sockets ------------------------------------------------------------------

TEST_F(SocketsTest, TalksOverIPv4AndIPv6) {
  for (bool ipv6 : {false, true}) {
    ScriptedServer::Options options;
    options.ipv6 = ipv6;
    ScriptedServer server("S: +OK ready\nC: QUIT\nS: +OK bye\nCLOSE", options);
    ConnectTo(server, ipv6 ? "::1" : "127.0.0.1");
    EXPECT_EQ(sockets.LocalAddress(sockets.Socket), ipv6 ? "::1" : "127.0.0.1");
    std::string line;
    EXPECT_EQ(sockets.ReceiveLine(line), 11);
    EXPECT_EQ(line, "+OK ready");
    sockets.SetText("QUIT\r\n");
    EXPECT_EQ(sockets.ReceiveLine(line), 9);
    EXPECT_EQ(line, "+OK bye");
    sockets.Disconnect();
    EXPECT_TRUE(server.WaitDone());
    EXPECT_TRUE(server.Finished());
    EXPECT_TRUE(server.Problems().empty());
  }
}

TEST_F(SocketsTest, AHostNameIsResolved) {
  ScriptedServer server("S: +OK ready");
  ConnectTo(server, "localhost");
  std::string line;
  EXPECT_EQ(sockets.ReceiveLine(line), 11);
}

TEST_F(SocketsTest, ARealRefusedConnectionReports10061) {
  CatchErrors();
  int port;
  { ScriptedServer gone(""); port = gone.port(); }  // listened once, closed now
  sockets.IPAddr = "127.0.0.1";
  sockets.Port = std::to_string(port);
  sockets.SConnect();
  EXPECT_EQ(sockets.Socket, -1);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].error, 10061);
}

TEST_F(SocketsTest, LinesTrickledOneByteAtATimeReadTheSame) {
  std::string script = "S: 250 OK\nS> 250 OK\\n\nS: a\\0b\\xFF\n";
  script += "S: " + std::string(300, 'x') + "\n";
  ScriptedServer::Options options;
  options.trickle = true;
  ScriptedServer server(script, options);
  ConnectTo(server);
  std::string line;
  EXPECT_EQ(sockets.ReceiveLine(line), 8);
  EXPECT_EQ(line, "250 OK");
  EXPECT_EQ(sockets.ReceiveLine(line), 7);
  EXPECT_EQ(sockets.ReceiveLine(line), 6);
  EXPECT_EQ(line, std::string("a\0b\xFF", 4));
  EXPECT_EQ(sockets.ReceiveLine(line), 255);
  EXPECT_EQ(sockets.ReceiveLine(line), 47);
  EXPECT_EQ(line, std::string(45, 'x'));
}

TEST_F(SocketsTest, ASilentServerTripsTheWatchdogWhileEventsAreProcessed) {
  CatchErrors();
  sockets.Timeout = 1;
  ScriptedServer server("S: +OK\nSTALL");
  ConnectTo(server);
  std::string line;
  EXPECT_EQ(sockets.ReceiveLine(line), 5);
  int events_before = ui.events_processed;
  auto start = Clock::now();
  EXPECT_EQ(sockets.ReceiveLine(line), 0);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(sockets.LastReceiveError(), 10060);
  EXPECT_GT(ui.events_processed, events_before + 5);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].error, 10060);
  EXPECT_EQ(errors[0].msg, "Blocking call timed out");
}

TEST_F(SocketsTest, WithoutAHandlerTheWatchdogShowsItsBoxAndTheProgramGoesOn) {
  sockets.Timeout = 1;
  ScriptedServer server("STALL");
  ConnectTo(server);
  std::string line;
  EXPECT_EQ(sockets.ReceiveLine(line), 0);
  ASSERT_EQ(ui.boxes.size(), 1u);
  EXPECT_EQ(ui.boxes[0].text, "Error 10060\r\nBlocking call timed out");
  EXPECT_EQ(ui.boxes[0].caption, "WINSOCK CALL CANCELED");
  EXPECT_EQ(ui.boxes[0].buttons, Buttons::OkCancel);
  EXPECT_TRUE(exits.empty());
}

TEST_F(SocketsTest, CancelListenEndsAWaitingRead) {
  CatchErrors();
  sockets.Timeout = 60;
  ScriptedServer server("STALL");
  ConnectTo(server);
  ui.on_events = [this] {
    if (ui.events_processed == 3) sockets.CancelListen();
  };
  auto start = Clock::now();
  std::string line;
  EXPECT_EQ(sockets.ReceiveLine(line), 0);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
  EXPECT_EQ(sockets.LastReceiveError(), 10004);
  ASSERT_EQ(errors.size(), 1u);  // CancelListen's own report, no time-out
  EXPECT_EQ(errors[0].error, 10038);
}

TEST_F(SocketsTest, BigTextsReachASlowReaderWhole) {
  std::string big(3 << 20, 'b');
  ScriptedServer::Options options;
  options.receive_buffer = 4096;
  ScriptedServer server(std::vector<DialogueStep>{{DialogueStep::Kind::kClient, big + "\r\n"},
                                                  {DialogueStep::Kind::kServer, "+OK\r\n"}},
                        options);
  ConnectTo(server);
  sockets.SetText(big + "\r\n");
  std::string line;
  EXPECT_EQ(sockets.ReceiveLine(line), 5);
  EXPECT_TRUE(server.Problems().empty());
}

// ---- asynchronous mode ------------------------------------------------------------------

TEST_F(SocketsTest, TheAsynchronousModeDeliversTheEvents) {
  testing::PollNotifier loop;
  ScriptedServer server("S: +OK ready\nC: QUIT\nS: +OK bye\nCLOSE");
  std::vector<std::string> events;
  std::string line;
  sockets.SetNonBlocking(true);
  sockets.OnSessionConnected = [&](TSockets&, int) { events.push_back("connected"); };
  sockets.OnDataNeeded = [&](TSockets&, int) { events.push_back("needed"); };
  sockets.OnDataAvailable = [&](TSockets& s, int) {
    s.ReceiveLine(line);
    events.push_back("read " + line);
    if (line == "+OK ready") s.SetText("QUIT\r\n");
  };
  sockets.OnSessionClosed = [&](TSockets&, int) { events.push_back("closed"); };
  sockets.IPAddr = "127.0.0.1";
  sockets.Port = server.Port();
  sockets.SConnect();
  EXPECT_NE(sockets.Socket, -1);
  EXPECT_TRUE(loop.RunUntil([&] { return !events.empty() && events.back() == "closed"; }));
  EXPECT_EQ(events, (std::vector<std::string>{"connected", "needed", "read +OK ready", "read +OK bye", "closed"}));
  sockets.Disconnect();
  EXPECT_TRUE(server.WaitDone());
  EXPECT_TRUE(server.Finished());
}

TEST_F(SocketsTest, TheAsynchronousModeSaysAgainWhenLinesAreStillBuffered) {
  testing::PollNotifier loop;
  ScriptedServer server("S> one\\r\\ntwo\\r\\n\nSTALL");
  std::vector<std::string> lines;
  sockets.SetNonBlocking(true);
  sockets.OnDataAvailable = [&](TSockets& s, int) {
    std::string line;
    s.ReceiveLine(line);
    lines.push_back(line);
  };
  sockets.IPAddr = "127.0.0.1";
  sockets.Port = server.Port();
  sockets.SConnect();
  EXPECT_TRUE(loop.RunUntil([&] { return lines.size() == 2; }));
  EXPECT_EQ(lines, (std::vector<std::string>{"one", "two"}));
  sockets.Disconnect();
}

TEST_F(SocketsTest, TheAsynchronousModeReportsARefusedConnection) {
  testing::PollNotifier loop;
  CatchErrors();
  int port;
  { ScriptedServer gone(""); port = gone.port(); }
  bool connected = false;
  sockets.OnSessionConnected = [&](TSockets&, int) { connected = true; };
  sockets.SetNonBlocking(true);
  sockets.IPAddr = "127.0.0.1";
  sockets.Port = std::to_string(port);
  sockets.SConnect();
  EXPECT_TRUE(loop.RunUntil([&] { return !errors.empty(); }));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].error, 10061);
  EXPECT_FALSE(connected);
  EXPECT_EQ(sockets.Socket, -1);
}

}  // namespace
}  // namespace corvelle
