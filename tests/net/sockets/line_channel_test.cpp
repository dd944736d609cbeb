// LineChannel and the TCP layer under it: reading, writing, the watchdog and Cancel over the
// in-process fake (whole, one byte at a time, or dripping in real time), and connecting over
// real loopback sockets. The sandbox tests talk to a real server.

#include "net/sockets/line_channel.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <functional>

#include "net/sockets/tcp_transport.h"
#include "net/support/fake_server.h"
#include "support/test_settings.h"
#include "support/recording_ui.h"

namespace corvelle {
namespace {

using testing::Drip;
using testing::FakeServer;
using testing::LoopbackPort;
using Strings = std::vector<std::string>;

class LineChannelTest : public ::testing::Test {
 protected:
  LineChannelTest() { Use(nullptr); }
  // A new channel over `transport` (TCP when null), its errors recorded.
  void Use(std::unique_ptr<Transport> transport) {
    channel = std::make_unique<LineChannel>(ui, MailSettings, std::move(transport));
    channel->SetErrorHandler([this](const ChannelError& error, const std::string& text) {
      errors.push_back(std::to_string(error.code) + " " + text);
    });
  }
  // Connects to a new in-process server playing `script`, at most `chunk` bytes per read.
  FakeServer& Serve(const std::string& script, size_t chunk = 65536) {
    fakes.push_back(std::make_unique<FakeServer>(script));
    fakes.back()->SetChunkSize(chunk);
    Use(fakes.back()->NewTransport());
    EXPECT_TRUE(ConnectTo("mail.example", "110"));
    errors.clear();
    return *fakes.back();
  }
  bool ConnectTo(const std::string& host, const std::string& port) { return channel->Connect(host, port, false); }

  testing::RecordingUi ui;
  std::vector<std::unique_ptr<FakeServer>> fakes;  // before the channel, which uses their transports
  std::unique_ptr<LineChannel> channel;
  Strings errors;
};

// ReadLine takes at most 255 bytes and counts what it took from the stream; ReadReply
// reads whole lines up to the last of a reply, and gives up on broken ones.
TEST_F(LineChannelTest, ReadingLinesAndReplies) {
  std::string endless;
  for (int i = 0; i < 1500; ++i) endless += "250-more\\r\\n";
  const struct {
    const char* name;
    std::string sent;
    bool reply;  // read with ReadReply (result 1 or 0), else ReadLine (the bytes taken)
    std::vector<std::pair<std::string, int>> reads;
  } rows[] = {
      {"CR LF", "250 OK\\r\\n", false, {{"250 OK", 8}}},
      {"bare LF", "250 OK\\n", false, {{"250 OK", 7}}},
      {"a CR inside the line is kept", "a\\rb\\r\\n", false, {{"a\rb", 5}}},
      {"NUL and 8-bit bytes", "a\\0\\xE9\\xFF\\r\\n", false, {{std::string("a\0\xE9\xFF", 4), 6}}},
      {"LF as the 255th byte", std::string(254, 'x') + "\\n", false, {{std::string(254, 'x'), 255}}},
      {"a long line is split at 255 bytes", std::string(255, 'a') + std::string(45, 'b') + "\\r\\nnext\\r\\n", false,
       {{std::string(255, 'a'), 255}, {std::string(45, 'b'), 47}, {"next", 6}}},
      {"a CR on the split stays with the first part", std::string(254, 'a') + "\\r\\n", false,
       {{std::string(254, 'a') + "\r", 255}, {"", 1}}},
      {"a line the server never ends is not returned", "+OK half a li", false, {{"", 0}}},
      {"reads after the peer closed fail at once", "+OK\\r\\n", false, {{"+OK", 5}, {"", 0}, {"", 0}}},
      {"continuation lines joined", "250-a\\r\\n250-" + std::string(300, 'w') + "\\r\\n250 last\\r\\n220 next\\r\\n",
       true, {{"250-a\r\n250-" + std::string(300, 'w') + "\r\n250 last", 1}, {"220 next", 1}}},
      {"empty lines skipped, a short line ends a reply", "\\r\\n+OK\\r\\n250-x\\r\\n\\r\\n250 y\\r\\n", true,
       {{"+OK", 1}, {"250-x\r\n250 y", 1}}},
      {"the peer closes inside a reply", "220-welcome\\r\\n", true, {{"", 0}}},
      {"an endless reply is given up before its end", endless, true, {{"", 0}}},
  };
  for (size_t chunk : {size_t(65536), size_t(1)}) {
    for (const auto& row : rows) {
      SCOPED_TRACE(std::string(row.name) + ", chunk " + std::to_string(chunk));
      FakeServer& server = Serve("S> " + row.sent + "\nCLOSE", chunk);
      for (const auto& [expected, result] : row.reads) {
        std::string text = "old";
        int got = row.reply ? channel->ReadReply(text) : channel->ReadLine(text);
        EXPECT_EQ(got, result);
        if (result || !row.reply) { EXPECT_EQ(text, expected); }
        if (!row.reply) { EXPECT_EQ(channel->LastReadError().code, result ? 0 : 10054); }
      }
      EXPECT_EQ(server.Problems(), Strings{}) << "read no further than the script";
    }
  }
}

// The watchdog gives a line or a reply its time however many bytes trickle in, and Cancel
// ends a wait at once; a read that Cancel ends takes nothing, so the next read gets the
// whole line and the caller can carry on in step.

TEST_F(LineChannelTest, TheWatchdogOrCancelEndsAWait) {
  using Read = std::function<long(std::string&)>;
  const Read line = [this](std::string& text) { return long{channel->ReadLine(text)}; };
  const Read whole_line = [this](std::string& text) { return long{channel->ReadWholeLine(text, 4)}; };
  const Read reply = [this](std::string& text) { return long{channel->ReadReply(text)}; };
  const std::string dripped = Drip("+OK this line takes far too long to arrive\r\n", 200);
  const std::string halting = "S> +OK hel\nPAUSE 600\nS: lo";
  std::string slow_reply;  // each line quick, the whole reply not
  for (int i = 0; i < 10; ++i) slow_reply += "S: 250-line " + std::to_string(i) + "\nPAUSE 300\n";
  const struct {
    const char* name;
    std::string script;
    Read read;
    int press_at;      // Cancel, so many events into the read; 0: the watchdog (1 second)
    const char* next;  // the whole line read after it, if any
  } rows[] = {
      {"silent server", "STALL", line, 0, ""},
      {"dripping server, ReadLine", dripped, line, 0, ""},
      {"dripping server, ReadWholeLine", dripped, whole_line, 0, ""},
      {"ReadReply, each line quick", slow_reply, reply, 0, ""},
      {"Cancel, silent server", "STALL", line, 3, ""},
      {"Cancel, dripping server", dripped, line, 20, ""},
      {"Cancel, ReadLine halted in a line", halting, line, 10, "+OK hello"},
      {"Cancel, ReadWholeLine in pieces of 4 bytes halted in a line", halting, whole_line, 10, "+OK hello"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Serve(row.script);
    channel->Timeout = row.press_at ? 60 : 1;
    int at = ui.events_processed;
    ui.on_events = [&] {
      if (ui.events_processed == at + row.press_at) channel->Cancel();
    };
    std::string text = "old";
    EXPECT_EQ(row.read(text), 0);
    EXPECT_GT(ui.events_processed, at + 2) << "the interface stays alive while waiting";
    if (row.press_at) { EXPECT_EQ(text, ""); }
    EXPECT_EQ(channel->LastReadError().code, row.press_at ? 10004 : 10060);
    // A Cancel reports nothing, and no time-out.
    EXPECT_EQ(errors, row.press_at ? Strings{} : Strings{"10060 Blocking call timed out"});
    ui.on_events = nullptr;
    if (!*row.next) continue;
    EXPECT_TRUE(channel->ReadWholeLine(text));
    EXPECT_EQ(text, row.next);
  }
  // Without a handler the watchdog shows its own box, and the program goes on.
  Serve("STALL");
  channel->Timeout = 1;
  channel->SetErrorHandler(nullptr);
  std::string text;
  EXPECT_EQ(channel->ReadLine(text), 0);
  ASSERT_EQ(ui.Texts(), Strings{"Error 10060\r\nBlocking call timed out"});
  EXPECT_EQ(ui.boxes[0].caption, "WINSOCK CALL CANCELED");
  // Lines that each come in time are read, however long they take together.
  Serve("S: +OK one\nPAUSE 700\nS: +OK two\nPAUSE 700\nS: 250-a\nS: 250 b\n");
  EXPECT_EQ(channel->ReadLine(text), 9);
  EXPECT_EQ(channel->ReadLine(text), 9);
  EXPECT_TRUE(channel->ReadReply(text));
  EXPECT_EQ(text, "250-a\r\n250 b");
}

TEST_F(LineChannelTest, ConnectingFailures) {
  const std::tuple<const char*, const char*, int, const char*> rows[] = {  // host, port, resolving gives, box
      {"mail.example", "", 0, "No Port Specified"},
      {"", "110", 0, "No IP Address Specified"},
      {"no.such.host", "110", 11001, "Cannot convert host address"},
      {"no.such.host", "110", 11002, "Cannot convert host address"}};
  for (const auto& [host, port, resolver, box] : rows) {
    ui.boxes.clear();
    FakeServer server;
    server.SetConnectResult(resolver);
    Use(server.NewTransport());
    EXPECT_FALSE(ConnectTo(host, port));
    ASSERT_EQ(ui.Texts(), Strings{box});
    EXPECT_EQ(ui.boxes[0].caption, "WINSOCK ERROR");
    EXPECT_EQ(ui.boxes[0].buttons, Buttons::OkCancel);
    EXPECT_EQ(server.Connections(), 0);
    EXPECT_FALSE(channel->IsOpen());
  }
  EXPECT_TRUE(errors.empty());
  // Errors go to the handler.
  channel->Write("NOOP\r\n");
  channel->Close();
  channel->Cancel();  // a cancel is no error
  EXPECT_EQ(errors, Strings(2, "10038 Socket operation on non-socket"));
  // A refused connection.
  errors.clear();
  Use(nullptr);
  LoopbackPort closed(false, false);
  EXPECT_FALSE(ConnectTo("127.0.0.1", closed.Port()));
  EXPECT_FALSE(channel->IsOpen());
  EXPECT_EQ(errors, Strings{"10061 Connection refused"});
}

// Without a handler an error is shown through the interface, and the program goes on: the
// socket layer never ends the process. A socket that cannot be made names its own step.
TEST_F(LineChannelTest, AnUnhandledErrorShowsItsBoxAndTheProgramGoesOn) {
  channel->SetErrorHandler(nullptr);
  EXPECT_EXIT(
      {
        // The same calls once while descriptors are free: the sanitizers' type checks need
        // a pipe the first time they meet a type, and none is left below.
        LoopbackPort closed(false, false);
        ConnectTo("127.0.0.1", closed.Port());
        ui.boxes.clear();
        // Every descriptor below the limit is taken, so socket() fails.
        int lowest = ::open("/dev/null", O_RDONLY);
        ::close(lowest);
        rlimit limit{};
        ::getrlimit(RLIMIT_NOFILE, &limit);
        limit.rlim_cur = static_cast<rlim_t>(lowest);
        ::setrlimit(RLIMIT_NOFILE, &limit);
        bool connected = ConnectTo("127.0.0.1", "110");
        std::fputs(ui.boxes.empty() ? "no box" : ui.boxes[0].text.c_str(), stderr);
        bool shown = ui.boxes.size() == 1 && ui.boxes[0].caption == "WINSOCK ERROR" &&
                     ui.boxes[0].text == "Error 10024 in function SConnect (socket)\r\nToo many open files";
        std::_Exit(shown && !connected ? 7 : 1);
      },
      ::testing::ExitedWithCode(7), "");
}

TEST_F(LineChannelTest, BigTextsReachASlowReaderWhole) {
  std::string big(3 << 20, 'b');
  FakeServer& server = Serve("C: " + big + "\nS: +OK", 4096);
  channel->Write(big + "\r\n");
  std::string line;
  EXPECT_EQ(channel->ReadLine(line), 5);
  EXPECT_EQ(server.Problems(), Strings{});
}

TEST_F(LineChannelTest, ConnectsOverIPv4AndIPv6AndResolvesNamesAndServices) {
  for (const auto& [host, ipv6] : {std::pair("127.0.0.1", false), {"::1", true}, {"localhost", false}}) {
    LoopbackPort port(ipv6, true);
    EXPECT_TRUE(ConnectTo(host, port.Port())) << host;
    EXPECT_EQ(channel->LocalAddress(), ipv6 ? "::1" : "127.0.0.1");
  }
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(TcpPortNumber("smtp"), 25);
}

TEST(TcpTransport, TriesEachAddressInTurn) {
  LoopbackPort listening(false, true);
  std::vector<SocketAddress> v6, v4;
  ASSERT_EQ(ResolveTcp("::1", std::stoi(listening.Port()), v6), 0);  // nobody listens there on this port
  ASSERT_EQ(ResolveTcp("127.0.0.1", std::stoi(listening.Port()), v4), 0);
  TcpTransport transport;
  int code = transport.BeginConnect({v6[0], v4[0]});
  for (int i = 0; i < 500 && code == 0; ++i)
    if ((code = transport.ContinueConnect(10)) == 10036) code = 0;
  EXPECT_EQ(code, 0);
  EXPECT_EQ(transport.LocalAddress(), "127.0.0.1");
}

}  // namespace
}  // namespace corvelle
