// The watchdog against servers that drip their bytes: a line or a reply must be complete
// within the time-out, however many bytes trickle in meanwhile, and Cancel still ends a wait.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "net/sockets.h"
#include "paced_server.h"
#include "support/recording_ui.h"

namespace corvelle {
namespace {

using testing::PacedServer;
using Clock = std::chrono::steady_clock;

class SocketsDeadlineTest : public ::testing::Test {
 protected:
  SocketsDeadlineTest() {
    sockets.SetNonBlocking(false);
    sockets.OnErrorOccurred = [this](TSockets&, int, int error, const std::string& msg) {
      errors.push_back(std::to_string(error) + " " + msg);
    };
  }
  void Connect() {
    server.Start();
    sockets.IPAddr = "127.0.0.1";
    sockets.Port = server.Port();
    sockets.SConnect();
    ASSERT_NE(sockets.Socket, -1);
  }

  testing::RecordingUi ui;
  PacedServer server;
  TSockets sockets;
  std::vector<std::string> errors;
};

// Each way of reading, against a server that keeps sending but never finishes in time.
TEST_F(SocketsDeadlineTest, ADrippedLineOrReplyEndsAtTheWatchdog) {
  const std::string slow_line = "+OK a greeting sent one byte at a time\r\n";
  std::string slow_reply;
  for (int i = 0; i < 10; ++i) slow_reply += "250-line " + std::to_string(i) + "\r\n";
  slow_reply += "250 end\r\n";
  std::string tail;
  const struct {
    const char* name;
    std::string text;
    bool by_lines;  // sent a whole line at a time, else a byte at a time
    int pause;      // milliseconds after each
    std::function<bool(TSockets&)> read;
  } rows[] = {
      {"ReceiveLine", slow_line, false, 200, [&](TSockets& s) { return s.ReceiveLine(tail) > 0; }},
      {"ReceiveLongLine", slow_line, false, 200,
       [&](TSockets& s) {
         bool complete = false;
         return s.ReceiveLongLine(tail, complete) > 0;
       }},
      {"ReceiveWholeLine", slow_line, false, 200, [&](TSockets& s) { return s.ReceiveWholeLine(tail); }},
      {"ReceiveReply, each line quick", slow_reply, true, 300,
       [&](TSockets& s) { return s.ReceiveReply(s.Socket, tail); }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    errors.clear();
    PacedServer dripping;
    if (row.by_lines) {
      for (size_t at = 0; at < row.text.size();) {
        size_t end = row.text.find('\n', at) + 1;
        dripping.Send(row.text.substr(at, end - at)).Pause(row.pause);
        at = end;
      }
    } else {
      dripping.Drip(row.text, row.pause);
    }
    dripping.Start();
    TSockets client;
    client.SetNonBlocking(false);
    client.Timeout = 1;
    client.OnErrorOccurred = sockets.OnErrorOccurred;
    client.IPAddr = "127.0.0.1";
    client.Port = dripping.Port();
    client.SConnect();
    ASSERT_NE(client.Socket, -1);
    auto start = Clock::now();
    EXPECT_FALSE(row.read(client));
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(2500));
    EXPECT_EQ(client.LastReceiveError(), 10060);
    EXPECT_EQ(errors, std::vector<std::string>{"10060 Blocking call timed out"});
  }
}

TEST_F(SocketsDeadlineTest, EachLineGetsItsOwnTime) {
  server.Send("+OK one\r\n").Pause(700).Send("+OK two\r\n").Pause(700).Send("250-a\r\n250 b\r\n");
  sockets.Timeout = 1;
  Connect();
  std::string line;
  EXPECT_EQ(sockets.ReceiveLine(line), 9);
  EXPECT_EQ(sockets.ReceiveLine(line), 9);
  EXPECT_EQ(line, "+OK two");
  EXPECT_TRUE(sockets.ReceiveReply(sockets.Socket, line));
  EXPECT_EQ(line, "250-a\r\n250 b");
  EXPECT_TRUE(errors.empty());
}

TEST_F(SocketsDeadlineTest, CancelEndsADrippedRead) {
  server.Drip("+OK this line takes far too long to arrive\r\n", 200);
  sockets.Timeout = 60;
  Connect();
  ui.on_events = [this] {
    if (ui.events_processed == 20) sockets.CancelListen();
  };
  auto start = Clock::now();
  std::string line;
  EXPECT_EQ(sockets.ReceiveLine(line), 0);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
  EXPECT_EQ(sockets.LastReceiveError(), 10004);
  EXPECT_EQ(errors, std::vector<std::string>{"10038 Socket operation on non-socket"});  // CancelListen's own
}

// A read that Cancel ends in the middle of a line takes nothing: the next read gets the whole
// line, so a caller can carry on with the stream in step.
TEST_F(SocketsDeadlineTest, ALineCutShortByCancelIsReadWholeNextTime) {
  const struct {
    const char* name;
    std::function<long(TSockets&, std::string&)> read;
  } rows[] = {
      {"ReceiveLine", [](TSockets& s, std::string& line) { return long{s.ReceiveLine(line)}; }},
      {"ReceiveLongLine",
       [](TSockets& s, std::string& line) {
         bool complete = false;
         return s.ReceiveLongLine(line, complete);
       }},
      {"ReceiveWholeLine in pieces of 4 bytes",
       [](TSockets& s, std::string& line) { return s.ReceiveWholeLine(line, 4) ? long{1} : long{0}; }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    errors.clear();
    PacedServer halting;
    halting.Send("+OK hel").Pause(600).Send("lo\r\n");
    halting.Start();
    TSockets client;
    client.SetNonBlocking(false);
    client.Timeout = 60;
    client.IPAddr = "127.0.0.1";
    client.Port = halting.Port();
    client.SConnect();
    ASSERT_NE(client.Socket, -1);
    client.OnErrorOccurred = sockets.OnErrorOccurred;
    int at = ui.events_processed;
    ui.on_events = [&] {
      if (ui.events_processed == at + 10) client.CancelListen();
    };
    std::string line = "old";
    EXPECT_EQ(row.read(client, line), 0);
    EXPECT_EQ(line, "");
    EXPECT_EQ(client.LastReceiveError(), 10004);
    std::string whole;
    EXPECT_TRUE(client.ReceiveWholeLine(whole));
    EXPECT_EQ(whole, "+OK hello");
    EXPECT_EQ(errors, std::vector<std::string>{"10038 Socket operation on non-socket"});
    ui.on_events = nullptr;
  }
}

}  // namespace
}  // namespace corvelle
