// Pop3Session over a line channel and the in-process scripted server, whole and one byte at
// a time: the listings it reads, what it logs, and when it gives a session up.

#include "net/pop3/pop3_session.h"

#include <gtest/gtest.h>

#include "net/net_log.h"
#include "net/sockets/line_channel.h"
#include "net/support/fake_server.h"
#include "support/test_settings.h"
#include "support/recording_ui.h"
#include "support/temp_dir.h"

namespace corvelle {
namespace {

using testing::FakeServer;
using Strings = std::vector<std::string>;

class Pop3SessionTest : public ::testing::Test {
 protected:
  // A session with a server playing `script`, at most `chunk` bytes per read.
  Pop3Session& Open(const std::string& script, size_t chunk = 65536) {
    server = std::make_unique<FakeServer>(script);
    server->SetChunkSize(chunk);
    channel = std::make_unique<LineChannel>(ui, MailSettings, server->NewTransport());
    session = std::make_unique<Pop3Session>(
        *channel, log, [this](const std::string& reason) { notes.push_back(reason); },
        [this](int code) { lost.push_back(code); });
    session->Restart(std::chrono::milliseconds(30000), 0);
    EXPECT_TRUE(channel->Connect("pop.example", "110", false));
    return *session;
  }
  std::string Log() const { return testing::ReadFile(dir.path() + "netlog.txt"); }

  testing::RecordingUi ui;
  testing::TempDir dir;
  NetLog log{dir.path() + "netlog.txt"};
  std::unique_ptr<FakeServer> server;
  std::unique_ptr<LineChannel> channel;
  std::unique_ptr<Pop3Session> session;
  Strings notes;
  std::vector<int> lost;
};

// UIDL lists what STAT counted at most; an id given twice names neither message, and a line
// without a usable id still lists its message.
TEST_F(Pop3SessionTest, UniqueIdListing) {
  const std::string script = "C: UIDL\nS: +OK\nS: 1 a\nS: 2 same\nS: 3 same\nS: 4 bad id\nS: 5 b\nS: 9 far\nS: .\n";
  for (size_t chunk : {size_t(65536), size_t(1)}) {
    SCOPED_TRACE(chunk);
    Pop3Session& pop = Open(script, chunk);
    Pop3Session::Listing listing;
    ASSERT_TRUE(pop.ListUniqueIds(5, listing));
    EXPECT_EQ(listing.numbers, (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(listing.ids.size(), 2u);
    EXPECT_EQ(listing.ids[1], "a");
    EXPECT_EQ(listing.ids[5], "b");
    EXPECT_EQ(listing.unusable, 3);
    EXPECT_EQ(listing.named, (std::set<std::string>{"a", "b", "same"}));
    EXPECT_EQ(server->Problems(), Strings{});
  }
}

// Before the login the lines are marked in the log; the password never goes there.
TEST_F(Pop3SessionTest, TheLogMarksTheLoginAndKeepsNoPassword) {
  Pop3Session& pop = Open("C: USER joe\nS: +OK\nC: PASS secret\nS: +OK in\nC: STAT\nS: +OK 0 0\n");
  EXPECT_EQ(pop.Command("USER joe"), Pop3Session::Reply::kAccepted);
  EXPECT_EQ(pop.Command("PASS secret"), Pop3Session::Reply::kAccepted);
  pop.SetLoggedIn(true);
  EXPECT_EQ(pop.Command("STAT", "+OK 1"), Pop3Session::Reply::kRefused);
  EXPECT_EQ(pop.LastReply(), "+OK 0 0");
  EXPECT_EQ(Log(), "< USER joe\r\n\r\n> +OK\r\n> +OK in\r\nSTAT\r\n\r\n+OK 0 0\r\n");
}

// A listing without end, and a server that closes: the session is given up once, and it
// says why.
TEST_F(Pop3SessionTest, ASessionIsGivenUpOnce) {
  std::string endless = "C: LIST\nS: +OK\n";
  for (int i = 0; i < 1100; ++i) endless += "S: 1 100\n";
  Pop3Session& pop = Open(endless);
  Pop3Session::Listing listing;
  EXPECT_FALSE(pop.ListMessages(1, listing));
  EXPECT_EQ(notes, Strings{"Transfer error: the mail server's listing does not end."});
  EXPECT_EQ(lost, std::vector<int>{0});
  EXPECT_FALSE(pop.Usable());
  EXPECT_EQ(pop.Command("NOOP"), Pop3Session::Reply::kLost);
  EXPECT_EQ(lost.size(), 1u);

  Pop3Session& closing = Open("C: NOOP\nCLOSE\n");
  lost.clear();
  EXPECT_EQ(closing.Command("NOOP"), Pop3Session::Reply::kLost);
  EXPECT_EQ(lost, std::vector<int>{10054});
  EXPECT_TRUE(closing.GivenUp());
}

}  // namespace
}  // namespace corvelle
