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

// Every line that starts with "." gets another; a bare CR ends a line, as only CR LF may on
// the wire, and a CR at the end is just the line end.
TEST(SmtpText, DataLinesAreDotStuffedAndSplitAtBareCr) {
  const std::pair<std::string, Lines> rows[] = {
      {"Hello", {"Hello"}},  {"", {""}},          {".", {".."}},           {".hidden", {"..hidden"}},
      {"a.b.", {"a.b."}},    {" .", {" ."}},      {"a\rb", {"a", "b"}},    {"a\r.", {"a", ".."}},
      {"abc\r", {"abc"}},    {"a\r\rb", {"a", "", "b"}}, {std::string("\0\xe9\xff", 3), {std::string("\0\xe9\xff", 3)}},
  };
  for (const auto& [line, expected] : rows) {
    Lines wire;
    ForEachDataLine(line, [&wire](std::string_view piece) { wire.emplace_back(piece); });
    EXPECT_EQ(wire, expected) << line;
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
  for (const char* reply : {"250 OK", "250-a\r\n250 b", "250"}) EXPECT_TRUE(ReplyAccepted(reply, "250")) << reply;
  for (const char* reply : {"251 forwarded", " 250 OK", "25", ""}) EXPECT_FALSE(ReplyAccepted(reply, "250")) << reply;
  EXPECT_FALSE(ReplyAccepted("550 no", "5"));
}

TEST(SmtpRecipients, SplitsAtCommasOutsideQuotesBracketsAndComments) {
  const std::pair<std::string, Lines> rows[] = {
      {"Ann Lee <ann@example.org>", {"ann@example.org"}},
      {"ann@example.org (Ann Lee)", {"ann@example.org"}},
      {"ann@example.org, Bob <bob@example.org>", {"ann@example.org", "bob@example.org"}},
      {"\"Lee, Ann\" <ann@example.org>, bob@example.org", {"ann@example.org", "bob@example.org"}},
      {"\"A \\\", B\" <a@x>, b@y", {"a@x", "b@y"}},
      {"ann@example.org (Lee, Ann), bob@example.org", {"ann@example.org", "bob@example.org"}},
      {" , ann@example.org,, ,", {"ann@example.org"}},  // blank entries dropped
      {"Ann < ann@example.org >", {"ann@example.org"}},
      {"a@x, a@x", {"a@x", "a@x"}},  // duplicates kept
  };
  for (const auto& [text, addresses] : rows) EXPECT_EQ(SplitRecipients(text), addresses) << text;
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
      {"a quoted name folded after its comma", {"To: \"Doe,", " John\" <john@example.com>,", " b@x"},
       {"john@example.com", "b@x"}, {}},
      {"a name folded before its address", {"Cc: Ann Lee", "\t<ann@x> (Lee,", " Ann)"}, {"ann@x"}, {}},
      {"continuation of another field is ignored", {"Received: from x", " by y", "To: a@x"}, {"a@x"}, {}},
      {"subject lines kept unchanged", {"SUBJECT: Re: 1", "subject:  2"}, {}, {"SUBJECT: Re: 1", "subject:  2"}},
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
