// TSockets and the TCP layer under it: reading lines and replies, the watchdog and Cancel
// over the in-process fake (whole, one byte per read, or dripping in real time), then real
// loopback sockets for connecting, writing to a slow reader and the asynchronous mode.

#include "net/sockets/sockets.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <deque>
#include <functional>
#include <map>

#include "net/sockets/socket_notifier.h"
#include "net/sockets/tcp_transport.h"
#include "net/support/fake_server.h"
#include "support/recording_ui.h"

namespace corvelle {
namespace {

using testing::ClosedPort;
using testing::Drip;
using testing::FakeServer;
using Clock = std::chrono::steady_clock;
using Strings = std::vector<std::string>;

// The event loop of the asynchronous mode: a plain poll() loop that the test runs.
class PollNotifier final : public SocketNotifier {
 public:
  PollNotifier() { SetSocketNotifier(this); }
  ~PollNotifier() override { SetSocketNotifier(nullptr); }
  void Watch(int fd, bool read, bool write, std::function<void(bool, bool)> ready) override {
    watched_[fd] = {read, write, std::move(ready)};
  }
  void Unwatch(int fd) override { watched_.erase(fd); }
  void Post(std::function<void()> call) override { posted_.push_back(std::move(call)); }
  // Runs the loop until `done()` holds, for at most ten seconds.
  bool RunUntil(const std::function<bool()>& done) {
    for (auto end = Clock::now() + std::chrono::seconds(10); !done(); RunOnce())
      if (Clock::now() >= end) return false;
    return true;
  }

 private:
  struct Entry {
    bool read, write;
    std::function<void(bool, bool)> ready;
  };
  void RunOnce() {
    if (!posted_.empty()) {
      auto call = std::move(posted_.front());
      posted_.pop_front();
      return call();
    }
    std::vector<pollfd> polled;
    for (const auto& [fd, e] : watched_) polled.push_back({fd, short((e.read ? POLLIN : 0) | (e.write ? POLLOUT : 0)), 0});
    if (::poll(polled.data(), polled.size(), 10) <= 0) return;
    for (const pollfd& p : polled) {
      auto found = watched_.find(p.fd);  // an earlier callback may have dropped it
      if (!p.revents || found == watched_.end()) continue;
      bool any = p.revents & (POLLERR | POLLHUP);
      auto ready = found->second.ready;  // the callback may replace its own entry
      ready(found->second.read && ((p.revents & POLLIN) || any), found->second.write && ((p.revents & POLLOUT) || any));
    }
  }
  std::map<int, Entry> watched_;
  std::deque<std::function<void()>> posted_;
};

class SocketsTest : public ::testing::Test {
 protected:
  SocketsTest() {
    sockets.SetNonBlocking(false);
    sockets.OnErrorOccurred = [this](TSockets&, int, int error, const std::string& msg) {
      errors.push_back(std::to_string(error) + " " + msg);
    };
  }
  // Connects to a new in-process server playing `script`, at most `chunk` bytes per read.
  FakeServer& Serve(const std::string& script, size_t chunk = 65536) {
    fakes.push_back(std::make_unique<FakeServer>(script));
    fakes.back()->SetChunkSize(chunk);
    sockets.SetTransport(fakes.back()->NewTransport());
    ConnectTo("mail.example", "110");
    EXPECT_NE(sockets.Socket, -1);
    errors.clear();
    return *fakes.back();
  }
  void ConnectTo(const std::string& host, const std::string& port) {
    sockets.IPAddr = host;
    sockets.Port = port;
    sockets.SConnect();
  }
  // Runs an asynchronous connection to 127.0.0.1:`port` until `done` (bounded).
  bool RunAsync(const std::string& port, const std::function<bool()>& done) {
    PollNotifier loop;
    sockets.SetNonBlocking(true);
    ConnectTo("127.0.0.1", port);
    return loop.RunUntil(done);
  }

  testing::RecordingUi ui;
  TSockets sockets;
  std::vector<std::unique_ptr<FakeServer>> fakes;
  Strings errors;
};

// ---- reading -----------------------------------------------------------------------------

TEST_F(SocketsTest, ReceiveLineCountsTheBytesTakenAndDropsTheCrBeforeLf) {
  const struct {
    const char* name;
    std::string sent;
    std::vector<std::pair<std::string, int>> reads;  // each line and the bytes taken; 0: failed
  } rows[] = {
      {"CR LF", "250 OK\\r\\n", {{"250 OK", 8}}},
      {"bare LF", "250 OK\\n", {{"250 OK", 7}}},
      {"a CR inside the line is kept", "a\\rb\\r\\n", {{"a\rb", 5}}},
      {"NUL and 8-bit bytes", "a\\0\\xE9\\xFF\\r\\n", {{std::string("a\0\xE9\xFF", 4), 6}}},
      {"LF as the 255th byte", std::string(254, 'x') + "\\n", {{std::string(254, 'x'), 255}}},
      {"a long line is split at 255 bytes", std::string(255, 'a') + std::string(45, 'b') + "\\r\\nnext\\r\\n",
       {{std::string(255, 'a'), 255}, {std::string(45, 'b'), 47}, {"next", 6}}},
      {"a CR on the split stays with the first part", std::string(254, 'a') + "\\r\\n",
       {{std::string(254, 'a') + "\r", 255}, {"", 1}}},
      {"a line the server never ends is not returned", "+OK half a li", {{"", 0}}},
      {"reads after the peer closed fail at once", "+OK\\r\\n", {{"+OK", 5}, {"", 0}, {"", 0}}},
  };
  for (size_t chunk : {size_t(65536), size_t(1)}) {
    for (const auto& row : rows) {
      SCOPED_TRACE(std::string(row.name) + ", chunk " + std::to_string(chunk));
      FakeServer& server = Serve("S> " + row.sent + "\nCLOSE", chunk);
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
    Serve("S> " + std::string(2000, 'L') + "\\r\\n.\\r\\nabcdefghi\\r\\nxy\\rz\\r\\n", chunk);
    const std::tuple<size_t, long, bool, std::string> reads[] = {
        {TSockets::kLongLinePiece, 2002, true, std::string(2000, 'L')}, {TSockets::kLongLinePiece, 3, true, "."},
        {10, 9, false, "abcdefghi"}, {10, 2, true, ""}, {10, 6, true, "xy\rz"}};
    for (const auto& [limit, taken, complete, text] : reads) {
      std::string line;
      bool ended = false;
      EXPECT_EQ(sockets.ReceiveLongLine(line, ended, limit), taken) << chunk;
      EXPECT_EQ(ended, complete);
      EXPECT_EQ(line, text);
    }
  }
}

TEST_F(SocketsTest, ReceiveReplyReadsWholeRepliesAndFailsOnBrokenOnes) {
  std::string endless;
  for (int i = 0; i < 1500; ++i) endless += "250-more\\r\\n";
  const struct {
    const char* name;
    std::string sent;
    Strings replies;
    bool then_fails;
  } rows[] = {
      {"continuation lines joined", "250-first\\r\\n250-second\\r\\n250 last\\r\\n220 next reply\\r\\n",
       {"250-first\r\n250-second\r\n250 last", "220 next reply"}, false},
      {"lines over 255 bytes read whole", "250-" + std::string(300, 'w') + "\\r\\n250 done\\r\\n",
       {"250-" + std::string(300, 'w') + "\r\n250 done"}, false},
      {"empty lines skipped, a short line ends a reply", "\\r\\n+OK\\r\\n250-x\\r\\n\\r\\n250 y\\r\\n",
       {"+OK", "250-x\r\n250 y"}, false},
      {"the peer closes inside a reply", "220-welcome\\r\\n", {}, true},
      {"an endless reply is given up before its end", endless, {}, true},
  };
  for (size_t chunk : {size_t(65536), size_t(1)}) {
    for (const auto& row : rows) {
      SCOPED_TRACE(std::string(row.name) + ", chunk " + std::to_string(chunk));
      FakeServer& server = Serve("S> " + row.sent + "\nCLOSE", chunk);
      std::string reply;
      for (const std::string& expected : row.replies) {
        EXPECT_TRUE(sockets.ReceiveReply(sockets.Socket, reply));
        EXPECT_EQ(reply, expected);
      }
      if (row.then_fails) EXPECT_FALSE(sockets.ReceiveReply(sockets.Socket, reply));
      EXPECT_EQ(server.Problems(), Strings{}) << "read no further than the script";
    }
  }
}

// ---- the watchdog: a line or a reply must be complete within the time-out, however many
// bytes trickle in meanwhile; each line gets its own time --------------------------------

TEST_F(SocketsTest, ASilentOrDrippingServerEndsAtTheWatchdog) {
  const std::string slow_line = Drip("+OK a greeting sent one byte at a time\r\n", 200);
  std::string slow_reply;  // each line quick, the whole reply not
  for (int i = 0; i < 10; ++i) slow_reply += "S: 250-line " + std::to_string(i) + "\nPAUSE 300\n";
  std::string text;
  const struct {
    const char* name;
    std::string script;
    std::function<bool()> read;
  } rows[] = {
      {"silent", "STALL", [&] { return sockets.ReceiveLine(text) > 0; }},
      {"ReceiveLine", slow_line, [&] { return sockets.ReceiveLine(text) > 0; }},
      {"ReceiveWholeLine", slow_line, [&] { return sockets.ReceiveWholeLine(text); }},
      {"ReceiveReply, each line quick", slow_reply, [&] { return sockets.ReceiveReply(sockets.Socket, text); }},
  };
  sockets.Timeout = 1;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Serve(row.script);
    int events = ui.events_processed;
    auto start = Clock::now();
    EXPECT_FALSE(row.read());
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(2500));
    EXPECT_GT(ui.events_processed, events + 5) << "the interface stays alive while waiting";
    EXPECT_EQ(sockets.LastReceiveError(), 10060);
    EXPECT_EQ(errors, Strings{"10060 Blocking call timed out"});
  }
  // Without a handler the watchdog shows its own box, and the program goes on.
  Serve("STALL");
  sockets.OnErrorOccurred = nullptr;
  EXPECT_EQ(sockets.ReceiveLine(text), 0);
  ASSERT_EQ(ui.Texts(), Strings{"Error 10060\r\nBlocking call timed out"});
  EXPECT_EQ(ui.boxes[0].caption, "WINSOCK CALL CANCELED");
  // Lines that each come in time are read, however long they take together.
  Serve("S: +OK one\nPAUSE 700\nS: +OK two\nPAUSE 700\nS: 250-a\nS: 250 b\n");
  EXPECT_EQ(sockets.ReceiveLine(text), 9);
  EXPECT_EQ(sockets.ReceiveLine(text), 9);
  EXPECT_TRUE(sockets.ReceiveReply(sockets.Socket, text));
  EXPECT_EQ(text, "250-a\r\n250 b");
}

// Cancel ends a wait at once, whether the server is silent, drips its bytes or halts in the
// middle of a line. A read it ends takes nothing: the next read gets the whole line, so a
// caller can carry on with the stream in step.
TEST_F(SocketsTest, CancelEndsAWaitingReadAndTakesNothing) {
  using Read = std::function<long(std::string&)>;
  const Read line = [this](std::string& text) { return long{sockets.ReceiveLine(text)}; };
  const Read whole_line = [this](std::string& text) { return sockets.ReceiveWholeLine(text, 4) ? 1L : 0L; };
  const std::string halting = "S> +OK hel\nPAUSE 600\nS: lo";
  const struct {
    const char* name;
    std::string script;
    Read read;
    int press_at;      // events into the read
    const char* next;  // the whole line read after it; "" for no more reading
  } rows[] = {
      {"silent server", "STALL", line, 3, ""},
      {"dripping server", Drip("+OK this line takes far too long to arrive\r\n", 200), line, 20, ""},
      {"ReceiveLine halted in a line", halting, line, 10, "+OK hello"},
      {"ReceiveWholeLine in pieces of 4 bytes halted in a line", halting, whole_line, 10, "+OK hello"},
  };
  sockets.Timeout = 60;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Serve(row.script);
    int at = ui.events_processed;
    ui.on_events = [&] {
      if (ui.events_processed == at + row.press_at) sockets.CancelListen();
    };
    auto start = Clock::now();
    std::string text = "old";
    EXPECT_EQ(row.read(text), 0);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
    EXPECT_EQ(text, "");
    EXPECT_EQ(sockets.LastReceiveError(), 10004);
    EXPECT_EQ(errors, Strings{"10038 Socket operation on non-socket"});  // CancelListen's own, no time-out
    ui.on_events = nullptr;
    if (!*row.next) continue;
    EXPECT_TRUE(sockets.ReceiveWholeLine(text));
    EXPECT_EQ(text, row.next);
  }
}

// ---- connecting and errors ---------------------------------------------------------------

TEST_F(SocketsTest, NoPortNoAddressOrAnUnknownHostShowABoxAndMakeNoSocket) {
  const struct {
    const char* host;
    const char* port;
    int resolver;  // what resolving the host gives
    const char* box;
  } rows[] = {{"mail.example", "", 0, "No Port Specified"},
              {"", "110", 0, "No IP Address Specified"},
              {"no.such.host", "110", 11001, "Cannot convert host address"},
              {"no.such.host", "110", 11002, "Cannot convert host address"}};
  for (const auto& row : rows) {
    SCOPED_TRACE(row.box);
    ui.boxes.clear();
    FakeServer server;
    server.SetConnectResult(row.resolver);
    sockets.SetTransport(server.NewTransport());
    ConnectTo(row.host, row.port);
    ASSERT_EQ(ui.Texts(), Strings{row.box});
    EXPECT_EQ(ui.boxes[0].caption, "WINSOCK ERROR");
    EXPECT_EQ(ui.boxes[0].buttons, Buttons::OkCancel);
    EXPECT_EQ(server.Connections(), 0);
    EXPECT_EQ(sockets.Socket, -1);
  }
  EXPECT_TRUE(errors.empty());
}

TEST_F(SocketsTest, ARefusedConnectionIsReportedInBothModes) {
  ClosedPort closed;
  ConnectTo("127.0.0.1", closed.Port());
  EXPECT_EQ(sockets.Socket, -1);
  bool connected = false;
  sockets.OnSessionConnected = [&](TSockets&, int) { connected = true; };
  EXPECT_TRUE(RunAsync(closed.Port(), [&] { return errors.size() == 2; }));
  EXPECT_EQ(errors, Strings(2, "10061 Connection refused"));
  EXPECT_FALSE(connected);
  EXPECT_EQ(sockets.Socket, -1);
}

// Without a handler an error is shown through the interface, and the program goes on: the
// socket layer never ends the process. A socket that cannot be made names its own step.
TEST_F(SocketsTest, AnUnhandledErrorShowsItsBoxAndTheProgramGoesOn) {
  sockets.OnErrorOccurred = nullptr;
  EXPECT_EXIT(
      {
        // Every descriptor below the limit is taken, so socket() fails.
        int lowest = ::open("/dev/null", O_RDONLY);
        ::close(lowest);
        rlimit limit{};
        ::getrlimit(RLIMIT_NOFILE, &limit);
        limit.rlim_cur = static_cast<rlim_t>(lowest);
        ::setrlimit(RLIMIT_NOFILE, &limit);
        ConnectTo("127.0.0.1", "110");
        std::fputs(ui.boxes.empty() ? "no box" : ui.boxes[0].text.c_str(), stderr);
        bool shown = ui.boxes.size() == 1 && ui.boxes[0].caption == "WINSOCK ERROR" &&
                     ui.boxes[0].text == "Error 10024 in function SConnect (socket)\r\nToo many open files";
        std::_Exit(shown && sockets.Socket == -1 ? 7 : 1);
      },
      ::testing::ExitedWithCode(7), "");
}

TEST_F(SocketsTest, WritingOrClosingWithoutAConnectionReports10038) {
  sockets.SetText("NOOP\r\n");
  sockets.Disconnect();
  sockets.CancelListen();  // the transfer dialog's Cancel buttons rely on this report
  EXPECT_EQ(errors, Strings(3, "10038 Socket operation on non-socket"));
  EXPECT_EQ(sockets.ListenSocket, 0);
}

// ---- over real sockets -------------------------------------------------------------------

TEST_F(SocketsTest, TalksOverIPv4AndIPv6ResolvesNamesAndServices) {
  const std::tuple<const char*, bool, const char*> rows[] = {
      {"127.0.0.1", false, "127.0.0.1"}, {"::1", true, "::1"}, {"localhost", false, "127.0.0.1"}};
  for (const auto& [host, ipv6, local] : rows) {
    SCOPED_TRACE(host);
    FakeServer server("S: +OK ready\nC: QUIT\nS: +OK bye\nCLOSE");
    ConnectTo(host, server.Listen(ipv6));
    ASSERT_NE(sockets.Socket, -1);
    EXPECT_EQ(sockets.LocalAddress(sockets.Socket), local);
    std::string line;
    EXPECT_EQ(sockets.ReceiveLine(line), 11);
    sockets.SetText("QUIT\r\n");
    EXPECT_EQ(sockets.ReceiveLine(line), 9);
    EXPECT_EQ(line, "+OK bye");
    sockets.Disconnect();
    EXPECT_TRUE(server.Finished());
  }
  EXPECT_EQ(TcpPortNumber("smtp"), 25);
  EXPECT_EQ(TcpPortNumber("65536"), 0);
}

TEST(TcpTransport, TriesEachAddressInTurn) {
  FakeServer server("S: hello\n");
  int port = std::stoi(server.Listen());
  std::vector<SocketAddress> v6, v4;
  ASSERT_EQ(ResolveTcp("::1", port, v6), 0);  // nobody listens there on this port
  ASSERT_EQ(ResolveTcp("127.0.0.1", port, v4), 0);
  TcpTransport transport;
  int code = transport.BeginConnect({v6[0], v4[0]});
  for (int i = 0; i < 500 && code == 0; ++i)
    if ((code = transport.ContinueConnect(10)) == 10036) code = 0;
  EXPECT_EQ(code, 0);
  EXPECT_EQ(transport.LocalAddress(), "127.0.0.1");
}

TEST_F(SocketsTest, BigTextsReachASlowReaderWhole) {
  std::string big(3 << 20, 'b');
  FakeServer server("C: " + big + "\nS: +OK");
  ConnectTo("127.0.0.1", server.Listen(false, 4096));
  sockets.SetText(big + "\r\n");
  std::string line;
  EXPECT_EQ(sockets.ReceiveLine(line), 5);
  EXPECT_EQ(server.Problems(), Strings{});
}

// ---- asynchronous mode -------------------------------------------------------------------

TEST_F(SocketsTest, TheAsynchronousModeDeliversTheEvents) {
  FakeServer server("S: +OK ready\nC: QUIT\nS: +OK bye\nCLOSE");
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
  EXPECT_TRUE(RunAsync(server.Listen(), [&] { return !events.empty() && events.back() == "closed"; }));
  EXPECT_EQ(events, (Strings{"connected", "needed", "read +OK ready", "read +OK bye", "closed"}));
  EXPECT_TRUE(server.Finished());
}

TEST_F(SocketsTest, TheAsynchronousModeSaysAgainWhenLinesAreStillBuffered) {
  FakeServer server("S> one\\r\\ntwo\\r\\n\nSTALL");
  Strings lines;
  sockets.OnDataAvailable = [&](TSockets& s, int) {
    std::string line;
    s.ReceiveLine(line);
    lines.push_back(line);
  };
  EXPECT_TRUE(RunAsync(server.Listen(), [&] { return lines.size() == 2; }));
  EXPECT_EQ(lines, (Strings{"one", "two"}));
}

}  // namespace
}  // namespace corvelle
