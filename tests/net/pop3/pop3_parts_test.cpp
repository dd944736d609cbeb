// The POP3 retriever's pure pieces: the reply parser (unstuffing is tested with whole messages)
// and the creation of message files.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>

#include "net/pop3/pop3_reply.h"
#include "platform/paths.h"
#include "support/temp_dir.h"

namespace corvelle {
namespace {

TEST(Pop3Reply, OnlyAnExactPlusOkIsPositive) {
  for (const char* reply : {"+OK", "+OK 2 320", "+OKAY"}) EXPECT_TRUE(IsPositiveReply(reply)) << reply;
  for (const char* reply : {"+ok", "-ERR", "", " +OK"}) EXPECT_FALSE(IsPositiveReply(reply)) << reply;
}

TEST(Pop3Reply, StatCount) {
  const std::pair<const char*, int> rows[] = {
      {"+OK 3 12345", 3},          {"+OK 3", -1},       {"+OK 0 0", 0},        {"+OK many 100", -1},
      {"+OK  3 100", -1},          {"+OK", -1},         {"+OK 99999999999 1", -1},
      {"+OK 123456789012345678901 1", -1},  // the space lies beyond the 20 characters searched
  };
  for (const auto& [reply, count] : rows) EXPECT_EQ(StatCount(reply), count) << reply;
}

TEST(Pop3Reply, RetrSize) {
  const std::tuple<const char*, long, const char*> rows[] = {
      {"+OK 512 octets", 512, "512 octets"},
      {"+OK 512", 0, "512"},
      {"+OK", 0, ""},
      {"+OK message follows (1234 octets)", 1234, "message follows (1234 octets)"},
      {"+OK some octets", 0, "some octets"},
      {"+OK -5 octets", 0, "-5 octets"},
      {"+OK 77 bytes follow", 77, "77 bytes follow"},
  };
  for (const auto& [reply, size, text] : rows) {
    EXPECT_EQ(RetrReplySize(reply).size, size) << reply;
    EXPECT_EQ(RetrReplySize(reply).text, text) << reply;
  }
}

// Every message file is made with it: a taken name (in any letter case) is never replaced.
TEST(CreateNewFile, RefusesATakenName) {
  testing::TempDir dir;
  testing::WriteFile(dir / "f/Taken", "x");
  EXPECT_EQ(CreateNewFile(dir / "f/Taken"), -1);
  EXPECT_EQ(errno, EEXIST);
  EXPECT_EQ(testing::ReadFile(dir / "f/Taken"), "x");
  int fd = CreateNewFile(dir / "f/New");
  ASSERT_GE(fd, 0);
  ::close(fd);
  EXPECT_TRUE(FolderHasNameIgnoringCase(dir / "f", "NEW"));
}

}  // namespace
}  // namespace corvelle
