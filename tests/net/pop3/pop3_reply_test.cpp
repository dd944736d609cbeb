#include "net/pop3/pop3_reply.h"

#include <gtest/gtest.h>

namespace corvelle {
namespace {

TEST(Pop3Reply, OnlyAnExactPlusOkIsPositive) {
  for (const char* reply : {"+OK", "+OK 2 320", "+OKAY"}) EXPECT_TRUE(IsPositiveReply(reply)) << reply;
  for (const char* reply : {"+ok", "-ERR", "", " +OK"}) EXPECT_FALSE(IsPositiveReply(reply)) << reply;
}

TEST(Pop3Reply, StatCount) {
  const struct {
    const char* name;
    const char* reply;
    int count;
  } rows[] = {
      {"count and size", "+OK 3 12345", 3},
      {"no size after the count", "+OK 3", -1},
      {"zero", "+OK 0 0", 0},
      {"large", "+OK 5000 20480000", 5000},
      {"not a number", "+OK many 100", -1},
      {"two spaces", "+OK  3 100", -1},
      {"space beyond 20 characters", "+OK 123456789012345678901 1", -1},
      {"bare +OK", "+OK", -1},
      {"too large for an int", "+OK 99999999999 1", -1},
  };
  for (const auto& row : rows) EXPECT_EQ(StatCount(row.reply), row.count) << row.name;
}

TEST(Pop3Reply, RetrSize) {
  const struct {
    const char* name;
    const char* reply;
    long size;
    const char* text;
  } rows[] = {
      {"size and octets", "+OK 512 octets", 512, "512 octets"},
      {"size alone", "+OK 512", 0, "512"},
      {"bare +OK", "+OK", 0, ""},
      {"octets in parentheses", "+OK message follows (1234 octets)", 1234, "message follows (1234 octets)"},
      {"octets without digits", "+OK some octets", 0, "some octets"},
      {"negative size", "+OK -5 octets", 0, "-5 octets"},
      {"size then words", "+OK 77 bytes follow", 77, "77 bytes follow"},
  };
  for (const auto& row : rows) {
    RetrSize size = RetrReplySize(row.reply);
    EXPECT_EQ(size.size, row.size) << row.name;
    EXPECT_EQ(size.text, row.text) << row.name;
  }
}

TEST(Pop3Reply, Unstuffing) {
  const struct {
    std::string line, unstuffed;
  } rows[] = {{"..", "."}, {"..x", ".x"}, {".x", "x"}, {"x.", "x."}, {"", ""}, {"...", ".."}};
  for (const auto& row : rows) {
    std::string line = row.line;
    UnstuffLine(line);
    EXPECT_EQ(line, row.unstuffed) << row.line;
  }
  EXPECT_TRUE(IsEndOfReply("."));
  EXPECT_FALSE(IsEndOfReply(".."));
  EXPECT_FALSE(IsEndOfReply(". "));
}

}  // namespace
}  // namespace corvelle
