#include "platform/tcp_socket.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netdb.h>
#include <netinet/in.h>

#include <cerrno>

#include "net/sockets/tcp_transport.h"
#include "net/support/scripted_server.h"

namespace corvelle {
namespace {

TEST(WinSockErrorFromErrno, MapsTheErrorsUsersMeet) {
  struct Row {
    const char* name;
    int error, code;
  } rows[] = {
      {"refused", ECONNREFUSED, 10061}, {"timed out", ETIMEDOUT, 10060},  {"reset", ECONNRESET, 10054},
      {"broken pipe", EPIPE, 10054},    {"host unreachable", EHOSTUNREACH, 10065},
      {"net unreachable", ENETUNREACH, 10051}, {"would block", EAGAIN, 10035}, {"in progress", EINPROGRESS, 10036},
      {"not a socket", ENOTSOCK, 10038}, {"not connected", ENOTCONN, 10057}, {"address in use", EADDRINUSE, 10048},
      {"interrupted", EINTR, 10004},    {"no errno counterpart", ENOENT, 10022},
  };
  for (const Row& row : rows) EXPECT_EQ(WinSockErrorFromErrno(row.error), row.code) << row.name;
}

TEST(WinSockErrorFromResolver, MapsGetaddrinfoResults) {
  EXPECT_EQ(WinSockErrorFromResolver(EAI_NONAME, 0), 11001);
  EXPECT_EQ(WinSockErrorFromResolver(EAI_AGAIN, 0), 11002);
  EXPECT_EQ(WinSockErrorFromResolver(EAI_FAIL, 0), 11003);
  EXPECT_EQ(WinSockErrorFromResolver(EAI_NODATA, 0), 11004);
  EXPECT_EQ(WinSockErrorFromResolver(EAI_SYSTEM, ECONNREFUSED), 10061);
  EXPECT_TRUE(IsResolverError(11001));
  EXPECT_TRUE(IsResolverError(11004));
  EXPECT_FALSE(IsResolverError(10061));
}

TEST(TcpPortNumber, NumbersAndServiceNames) {
  EXPECT_EQ(TcpPortNumber("25"), 25);
  EXPECT_EQ(TcpPortNumber("110"), 110);
  EXPECT_EQ(TcpPortNumber("smtp"), 25);
  EXPECT_EQ(TcpPortNumber("pop3"), 110);
  EXPECT_EQ(TcpPortNumber("no-such-service"), 0);
  EXPECT_EQ(TcpPortNumber("65536"), 0);
  EXPECT_EQ(TcpPortNumber("99999999999999999999"), 0);
}

TEST(ResolveTcp, NumericAddressesNeedNoLookUp) {
  std::vector<SocketAddress> addresses;
  ASSERT_EQ(ResolveTcp("127.0.0.1", 110, addresses), 0);
  ASSERT_EQ(addresses.size(), 1u);
  EXPECT_EQ(AddressText(addresses[0]), "127.0.0.1");
  EXPECT_EQ(ntohs(reinterpret_cast<sockaddr_in*>(&addresses[0].storage)->sin_port), 110);
  ASSERT_EQ(ResolveTcp("::1", 25, addresses), 0);
  EXPECT_EQ(AddressText(addresses[0]), "::1");
}

int ConnectWithin(TcpTransport& transport, int code) {
  for (int i = 0; i < 500 && code == 0; ++i) {
    int state = transport.ContinueConnect(10);
    if (state != wsa::kInProgress) return state;
  }
  return code;
}

TEST(TcpTransport, TriesEachAddressInTurn) {
  testing::ScriptedServer server("S: hello\n");
  std::vector<SocketAddress> v6, v4;
  ASSERT_EQ(ResolveTcp("::1", server.port(), v6), 0);  // nobody listens there on this port
  ASSERT_EQ(ResolveTcp("127.0.0.1", server.port(), v4), 0);
  TcpTransport transport;
  int code = transport.BeginConnect({v6[0], v4[0]});
  EXPECT_EQ(ConnectWithin(transport, code), 0);
  EXPECT_EQ(transport.LocalAddress(), "127.0.0.1");
  transport.Close();
  EXPECT_TRUE(server.WaitDone());
}

TEST(TcpTransport, RefusedWhenNobodyListens) {
  testing::ClosedPort closed;
  TcpTransport transport;
  int code = transport.BeginConnect("127.0.0.1", closed.Port());
  EXPECT_EQ(ConnectWithin(transport, code), 10061);
  EXPECT_FALSE(transport.IsOpen());
}

}  // namespace
}  // namespace corvelle
