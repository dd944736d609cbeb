#include "net/smtp/smtp_recipients.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace corvelle {
namespace {

using Lines = std::vector<std::string>;

struct SplitRow {
  const char* name;
  std::string text;
  Lines addresses;
};

const SplitRow kSplitRows[] = {
    {"one bare address", "ann@example.org", {"ann@example.org"}},
    {"name and angle brackets", "Ann Lee <ann@example.org>", {"ann@example.org"}},
    {"comment form", "ann@example.org (Ann Lee)", {"ann@example.org"}},
    {"two entries", "ann@example.org, Bob <bob@example.org>", {"ann@example.org", "bob@example.org"}},
    {"comma inside quotes", "\"Lee, Ann\" <ann@example.org>, bob@example.org", {"ann@example.org", "bob@example.org"}},
    {"escaped quote inside quotes", "\"A \\\", B\" <a@x>, b@y", {"a@x", "b@y"}},
    {"comma inside a comment", "ann@example.org (Lee, Ann), bob@example.org", {"ann@example.org", "bob@example.org"}},
    {"blank entries dropped", " , ann@example.org,, ,", {"ann@example.org"}},
    {"blanks inside the brackets", "Ann < ann@example.org >", {"ann@example.org"}},
    {"duplicates kept", "a@x, a@x", {"a@x", "a@x"}},
    {"empty", "", {}},
};

TEST(SmtpRecipients, SplitsAtCommasOutsideQuotesBracketsAndComments) {
  for (const SplitRow& row : kSplitRows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(SplitRecipients(row.text), row.addresses);
  }
}

struct ScanRow {
  const char* name;
  Lines header;
  Lines recipients;
  Lines subjects;
};

const ScanRow kScanRows[] = {
    {"two entries then a continuation, next line still examined",
     {"To: ann@example.org, Bob Smith <bob@example.org>", "   carl@example.org", "Cc: dan@example.org", ""},
     {"ann@example.org", "bob@example.org", "carl@example.org", "dan@example.org"},
     {}},
    {"cc in lower and upper case",
     {"cc: a@x", "CC: b@x", "tO: c@x"},
     {"a@x", "b@x", "c@x"},
     {}},
    {"no space after the colon is not a recipient line", {"To:a@x", "Cc:b@x"}, {}, {}},
    {"no To or Cc", {"From: self@site", "Subject: hi", ""}, {}, {"Subject: hi"}},
    {"the header ends at the first empty line", {"To: a@x", "", "To: b@x", "Cc: c@x"}, {"a@x"}, {}},
    {"a comma-less first line keeps its continuation",
     {"To: a@x", " b@x, c@x", "Subject: s"},
     {"a@x", "b@x", "c@x"},
     {"Subject: s"}},
    {"tab continuation", {"To: a@x,", "\tb@x"}, {"a@x", "b@x"}, {}},
    {"continuation of another field is ignored", {"Received: from x", " by y", "To: a@x"}, {"a@x"}, {}},
    {"subject lines kept unchanged", {"SUBJECT: Re: one", "subject:  two"}, {}, {"SUBJECT: Re: one", "subject:  two"}},
};

TEST(SmtpRecipients, ScanHeaderFindsEveryRecipientInOrder) {
  for (const ScanRow& row : kScanRows) {
    SCOPED_TRACE(row.name);
    HeaderScan scan = ScanHeader(row.header);
    EXPECT_EQ(scan.recipients, row.recipients);
    EXPECT_EQ(scan.subjects, row.subjects);
  }
}

TEST(SmtpRecipients, EveryRecipientOfAVeryLongLineIsUsed) {
  // 60 addresses on one line (far beyond 255 characters), and as many on a continuation.
  std::string line = "To: ", more = " ";
  Lines expected;
  for (int i = 0; i < 60; ++i) {
    line += (i ? ", " : "") + std::string("Person Number ") + std::to_string(i) + " <p" + std::to_string(i) + "@example.org>";
    expected.push_back("p" + std::to_string(i) + "@example.org");
  }
  for (int i = 60; i < 120; ++i) {
    more += (i > 60 ? "," : "") + std::string("q") + std::to_string(i) + "@example.org";
    expected.push_back("q" + std::to_string(i) + "@example.org");
  }
  ASSERT_GT(line.size(), 2000u);
  EXPECT_EQ(ScanHeader({line, more, ""}).recipients, expected);
}

TEST(SmtpRecipients, LetsTheInterfaceBreatheAfterEachLine) {
  int calls = 0;
  ScanHeader({"To: a@x", " b@x", "Subject: s", "X: y", "", "body"}, [&calls] { ++calls; });
  EXPECT_EQ(calls, 4);
}

}  // namespace
}  // namespace corvelle
