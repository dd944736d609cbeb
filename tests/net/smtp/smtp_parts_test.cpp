// The SMTP sender's pure pieces: what goes on the wire, the reply test, and the recipients
// taken from a message's header.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net/smtp/smtp_recipients.h"
#include "net/smtp/smtp_reply.h"
#include "net/smtp/smtp_text.h"

namespace corvelle {
namespace {

using Lines = std::vector<std::string>;

TEST(SmtpText, DataLinesAreDotStuffedAndSplitAtBareCr) {
  const struct {
    const char* name;
    std::string line;
    Lines wire;
  } rows[] = {
      {"plain", "Hello", {"Hello"}},
      {"empty", "", {""}},
      {"lone dot", ".", {".."}},
      {"leading dot", ".hidden", {"..hidden"}},
      {"dot later in the line", "a.b.", {"a.b."}},
      {"space then dot is plain", " .", {" ."}},
      {"bare CR ends a line", "a\rb", {"a", "b"}},
      {"bare CR before a dot line", "a\r.", {"a", ".."}},
      {"CR at the end is only a line end", "abc\r", {"abc"}},
      {"two CRs", "a\r\rb", {"a", "", "b"}},
      {"NUL and 8-bit bytes kept", std::string("\0\xe9\xff", 3), {std::string("\0\xe9\xff", 3)}},
  };
  for (const auto& row : rows) {
    Lines wire;
    ForEachDataLine(row.line, [&wire](std::string_view piece) { wire.emplace_back(piece); });
    EXPECT_EQ(wire, row.wire) << row.name;
  }
}

TEST(SmtpText, TheLongestLineDoesNotCountTheStuffingDot) {
  const std::pair<std::string, size_t> rows[] = {
      {"", 0},
      {"ab\r\ncdef\r\n", 4},
      {"ab\ncdef", 4},  // bare LF, no final line end
      {std::string(998, 'x') + "\r\n", 998},
      {"." + std::string(997, 'x') + "\r\n", 998},  // 999 bytes on the wire, and still allowed
      {std::string(500, 'x') + "\r" + std::string(600, 'y'), 600},
      {"short\r\n" + std::string(5000, 'z'), 5000},
  };
  for (const auto& [text, longest] : rows) EXPECT_EQ(LongestDataLine(text), longest) << text.substr(0, 20);
}

TEST(SmtpText, HeloArgumentIsAnAddressLiteral) {
  const std::pair<const char*, const char*> rows[] = {
      {"192.0.2.7", "[192.0.2.7]"},     {"2001:db8::1", "[IPv6:2001:db8::1]"}, {"::1", "[IPv6:::1]"},
      {"fe80::1%eth0", "[IPv6:fe80::1]"}, {"::ffff:10.0.0.1", "[10.0.0.1]"},     {"", "localhost"},
  };
  for (const auto& [local, argument] : rows) EXPECT_EQ(HeloArgument(local), argument) << local;
}

TEST(SmtpText, SendableAddressesHoldNoControlBytesOrBrackets) {
  EXPECT_EQ(SmtpPath("ann@example.org"), "<ann@example.org>");
  EXPECT_TRUE(IsSendableAddress("\xe9t\xe9@example.org"));
  for (std::string bad : {std::string("ann@example.org\r\nrcpt to:<eve@example.org>"), std::string("ann\0@x", 6),
                          std::string("a>b"), std::string("Ann <ann@example.org")})
    EXPECT_FALSE(IsSendableAddress(bad)) << bad;
}

TEST(SmtpReply, AcceptedOnlyWhenTheFirstThreeCharactersAreTheCode) {
  for (const char* reply : {"250 OK", "250-first\r\n250 last", "250"}) EXPECT_TRUE(ReplyAccepted(reply, "250")) << reply;
  for (const char* reply : {"251 forwarded", " 250 OK", "25", ""}) EXPECT_FALSE(ReplyAccepted(reply, "250")) << reply;
  EXPECT_FALSE(ReplyAccepted("550 no", "5"));
}

TEST(SmtpRecipients, SplitsAtCommasOutsideQuotesBracketsAndComments) {
  const struct {
    const char* name;
    std::string text;
    Lines addresses;
  } rows[] = {
      {"name and angle brackets", "Ann Lee <ann@example.org>", {"ann@example.org"}},
      {"comment form", "ann@example.org (Ann Lee)", {"ann@example.org"}},
      {"two entries", "ann@example.org, Bob <bob@example.org>", {"ann@example.org", "bob@example.org"}},
      {"comma inside quotes", "\"Lee, Ann\" <ann@example.org>, bob@example.org", {"ann@example.org", "bob@example.org"}},
      {"escaped quote inside quotes", "\"A \\\", B\" <a@x>, b@y", {"a@x", "b@y"}},
      {"comma inside a comment", "ann@example.org (Lee, Ann), bob@example.org", {"ann@example.org", "bob@example.org"}},
      {"blank entries dropped", " , ann@example.org,, ,", {"ann@example.org"}},
      {"blanks inside the brackets", "Ann < ann@example.org >", {"ann@example.org"}},
      {"duplicates kept", "a@x, a@x", {"a@x", "a@x"}},
  };
  for (const auto& row : rows) EXPECT_EQ(SplitRecipients(row.text), row.addresses) << row.name;
}

TEST(SmtpRecipients, ScanHeaderFindsEveryRecipientInOrder) {
  const struct {
    const char* name;
    Lines header, recipients, subjects;
  } rows[] = {
      {"two entries then a continuation, next line still examined",
       {"To: ann@example.org, Bob Smith <bob@example.org>", "   carl@example.org", "Cc: dan@example.org", ""},
       {"ann@example.org", "bob@example.org", "carl@example.org", "dan@example.org"},
       {}},
      {"cc in lower and upper case", {"cc: a@x", "CC: b@x", "tO: c@x"}, {"a@x", "b@x", "c@x"}, {}},
      {"no space after the colon is not a recipient line", {"To:a@x", "Cc:b@x"}, {}, {}},
      {"the header ends at the first empty line", {"To: a@x", "", "To: b@x", "Cc: c@x"}, {"a@x"}, {}},
      {"a comma-less first line keeps its continuation", {"To: a@x", " b@x, c@x", "Subject: s"},
       {"a@x", "b@x", "c@x"}, {"Subject: s"}},
      {"tab continuation", {"To: a@x,", "\tb@x"}, {"a@x", "b@x"}, {}},
      {"continuation of another field is ignored", {"Received: from x", " by y", "To: a@x"}, {"a@x"}, {}},
      {"subject lines kept unchanged", {"SUBJECT: Re: one", "subject:  two"}, {}, {"SUBJECT: Re: one", "subject:  two"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    HeaderScan scan = ScanHeader(row.header);
    EXPECT_EQ(scan.recipients, row.recipients);
    EXPECT_EQ(scan.subjects, row.subjects);
  }
}

}  // namespace
}  // namespace corvelle
