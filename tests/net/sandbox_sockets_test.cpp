#include <gtest/gtest.h>

#include "net/sockets.h"
#include "sandbox.h"
#include "support/recording_ui.h"

namespace corvelle {
namespace {

TEST(SandboxSockets, BothServersGreet) {
  testing::Sandbox sandbox;
  std::string why;
  ASSERT_TRUE(testing::FindSandbox(sandbox, why)) << why;
  testing::RecordingUi ui;
  TSockets sockets;
  sockets.SetNonBlocking(false);
  sockets.OnErrorOccurred = [](TSockets&, int, int error, const std::string& msg) {
    ADD_FAILURE() << error << " " << msg;
  };
  sockets.IPAddr = sandbox.host;
  sockets.Port = sandbox.pop3_port;
  sockets.SConnect();
  std::string reply;
  EXPECT_TRUE(sockets.ReceiveReply(sockets.Socket, reply));
  EXPECT_EQ(reply.substr(0, 3), "+OK");
  sockets.Disconnect();
  sockets.Port = sandbox.smtp_port;
  sockets.SConnect();
  EXPECT_TRUE(sockets.ReceiveReply(sockets.Socket, reply));
  EXPECT_EQ(reply.substr(0, 4), "220 ");
  sockets.SetText("QUIT\r\n");
  EXPECT_TRUE(sockets.ReceiveReply(sockets.Socket, reply));
  EXPECT_EQ(reply.substr(0, 3), "221");
  sockets.Disconnect();
}

}  // namespace
}  // namespace corvelle
