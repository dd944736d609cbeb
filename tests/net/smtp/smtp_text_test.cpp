#include "net/smtp/smtp_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvelle {
namespace {

std::vector<std::string> DataLines(std::string_view line) {
  std::vector<std::string> out;
  ForEachDataLine(line, [&out](std::string_view piece) { out.emplace_back(piece); });
  return out;
}

struct DataRow {
  const char* name;
  std::string line;
  std::vector<std::string> wire;
};

const DataRow kDataRows[] = {
    {"plain", "Hello", {"Hello"}},
    {"empty", "", {""}},
    {"lone dot", ".", {".."}},
    {"leading dot", ".hidden", {"..hidden"}},
    {"two dots", "..", {"..."}},
    {"dot later in the line", "a.b.", {"a.b."}},
    {"space then dot is plain", " .", {" ."}},
    {"bare CR ends a line", "a\rb", {"a", "b"}},
    {"bare CR before a dot line", "a\r.", {"a", ".."}},
    {"CR at the end is only a line end", "abc\r", {"abc"}},
    {"CR alone", "\r", {""}},
    {"two CRs", "a\r\rb", {"a", "", "b"}},
    {"NUL and 8-bit bytes kept", std::string("\0\xe9\xff", 3), {std::string("\0\xe9\xff", 3)}},
};

TEST(SmtpText, DataLinesAreDotStuffedAndSplitAtBareCr) {
  for (const DataRow& row : kDataRows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(DataLines(row.line), row.wire);
  }
}

struct HeloRow {
  const char* name;
  const char* local;
  const char* argument;
};

const HeloRow kHeloRows[] = {
    {"IPv4", "192.0.2.7", "[192.0.2.7]"},
    {"loopback", "127.0.0.1", "[127.0.0.1]"},
    {"IPv6", "2001:db8::1", "[IPv6:2001:db8::1]"},
    {"IPv6 loopback", "::1", "[IPv6:::1]"},
    {"IPv6 with a zone", "fe80::1%eth0", "[IPv6:fe80::1]"},
    {"IPv4-mapped", "::ffff:10.0.0.1", "[10.0.0.1]"},
    {"no address", "", "localhost"},
};

TEST(SmtpText, HeloArgumentIsAnAddressLiteral) {
  for (const HeloRow& row : kHeloRows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(HeloArgument(row.local), row.argument);
  }
}

TEST(SmtpText, SendableAddressesHoldNoControlBytesOrBrackets) {
  EXPECT_EQ(SmtpPath("ann@example.org"), "<ann@example.org>");
  EXPECT_TRUE(IsSendableAddress("ann@example.org"));
  EXPECT_TRUE(IsSendableAddress("\xe9t\xe9@example.org"));
  EXPECT_FALSE(IsSendableAddress("ann@example.org\r\nrcpt to:<eve@example.org>"));
  EXPECT_FALSE(IsSendableAddress(std::string("ann\0@x", 6)));
  EXPECT_FALSE(IsSendableAddress("a>b"));
  EXPECT_FALSE(IsSendableAddress("Ann <ann@example.org"));
}

TEST(SmtpText, LongestDataLineCountsTheStuffedDotAndEveryLineEnd) {
  EXPECT_EQ(LongestDataLine(""), 0u);
  EXPECT_EQ(LongestDataLine("ab\r\ncdef\r\n"), 4u);
  EXPECT_EQ(LongestDataLine("ab\ncdef"), 4u);  // bare LF, no final line end
  EXPECT_EQ(LongestDataLine(std::string(998, 'x') + "\r\n"), 998u);
  EXPECT_EQ(LongestDataLine("." + std::string(997, 'x') + "\r\n"), 999u);
  EXPECT_EQ(LongestDataLine(std::string(500, 'x') + "\r" + std::string(600, 'y')), 600u);
  EXPECT_EQ(LongestDataLine("short\r\n" + std::string(5000, 'z')), 5000u);
}

}  // namespace
}  // namespace corvelle
