#include "net/sockets.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>

#include "net/fake_transport.h"
#include "net/tcp_transport.h"
#include "poll_notifier.h"
#include "scripted_server.h"
#include "support/recording_ui.h"

namespace corvelle {
namespace {

using testing::ClosedPort;
using testing::ScriptedServer;
using Clock = std::chrono::steady_clock;
using Strings = std::vector<std::string>;

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
  std::vector<Reported> errors;
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
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].error, 10061);
  EXPECT_EQ(errors[0].msg, "Connection refused");
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
  ASSERT_EQ(errors.size(), 3u);
  for (const Reported& error : errors) {
    EXPECT_EQ(error.error, 10038);
    EXPECT_EQ(error.msg, "Socket operation on non-socket");
  }
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
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].error, 10061);
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
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].error, 10060);
  EXPECT_EQ(errors[0].msg, "Blocking call timed out");
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

TEST_F(SocketsTest, CancelListenEndsAWaitingRead) {
  CatchErrors();
  sockets.Timeout = 60;
  ScriptedServer server("STALL");
  ConnectTo("127.0.0.1", server.Port());
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
  ScriptedServer server(std::vector<DialogueStep>{{DialogueStep::Kind::kClient, big + "\r\n"},
                                                  {DialogueStep::Kind::kServer, "+OK\r\n"}},
                        {.receive_buffer = 4096});
  ConnectTo("127.0.0.1", server.Port());
  sockets.SetText(big + "\r\n");
  std::string line;
  EXPECT_EQ(sockets.ReceiveLine(line), 5);
  EXPECT_EQ(server.Problems(), Strings{});
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
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0].error, 10061);
  EXPECT_FALSE(connected);
  EXPECT_EQ(sockets.Socket, -1);
}

}  // namespace
}  // namespace corvelle
