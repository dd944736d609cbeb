#include "net/smtp/smtp_reply.h"

#include <gtest/gtest.h>

namespace corvelle {
namespace {

struct ReplyRow {
  const char* name;
  std::string reply;
  int code;
  bool well_formed;
  std::vector<std::string> text;
};

const ReplyRow kReplyRows[] = {
    {"one line", "250 OK", 250, true, {"OK"}},
    {"code alone", "354", 354, true, {""}},
    {"multi-line greeting", "220-mail.example\r\n220-second\r\n220 ready", 220, true, {"mail.example", "second", "ready"}},
    {"codes differ between lines", "250-a\r\n251 b", 250, false, {"a", "b"}},
    {"garbage after a good line", "250-a\r\nxyz", 250, false, {"a", "xyz"}},
    {"last line says more follows", "250-a\r\n250-b", 250, false, {"a", "b"}},
    {"no code", "hello there", -1, false, {"hello there"}},
    {"two digits only", "25", -1, false, {"25"}},
    {"letters in the code", "2x0 OK", -1, false, {"2x0 OK"}},
    {"NUL and 8-bit bytes", std::string("250 \0\xff", 6), 250, true, {std::string("\0\xff", 2)}},
    {"empty", "", -1, false, {""}},
};

TEST(SmtpReply, ParsesCodeTextAndShape) {
  for (const ReplyRow& row : kReplyRows) {
    SCOPED_TRACE(row.name);
    SmtpReply parsed = ParseSmtpReply(row.reply);
    EXPECT_EQ(parsed.code, row.code);
    EXPECT_EQ(parsed.well_formed, row.well_formed);
    EXPECT_EQ(parsed.text, row.text);
  }
}

TEST(SmtpReply, AcceptedOnlyWhenTheFirstThreeCharactersAreTheCode) {
  EXPECT_TRUE(ReplyAccepted("250 OK", "250"));
  EXPECT_TRUE(ReplyAccepted("250-first\r\n250 last", "250"));
  EXPECT_TRUE(ReplyAccepted("250", "250"));
  EXPECT_FALSE(ReplyAccepted("251 forwarded", "250"));
  EXPECT_FALSE(ReplyAccepted(" 250 OK", "250"));
  EXPECT_FALSE(ReplyAccepted("25", "250"));
  EXPECT_FALSE(ReplyAccepted("", "250"));
  EXPECT_FALSE(ReplyAccepted("550 no", "5"));
}

}  // namespace
}  // namespace corvelle
