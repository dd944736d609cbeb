// The logic behind the message windows: reading an opened header, quoting a reply, the
// signature block and the outgoing lines.

#include <gtest/gtest.h>

#include <optional>

#include "core/store/addresses.h"
#include "core/compose/opened_message.h"
#include "core/compose/outgoing_message.h"
#include "core/compose/reply_quote.h"
#include "core/compose/signature.h"
#include "support/temp_dir.h"

namespace corvelle {
namespace {

using namespace std::string_literals;
using Lines = std::vector<std::string>;

Lines Entries(const std::string& address_text) {
  Lines entries;
  SplitAddressList(entries, address_text);
  return entries;
}

TEST(ReplyQuote, SubjectAndAttributionComeFromTheHeader) {
  struct Row {
    const char* name;
    Lines lines;
    std::optional<std::string> subject;
    std::string attribution;
  } rows[] = {
      {"every re: goes", {"Subject:  RE: re:Lunch ", "Date: 1 May", "", "x"}, "Re: Lunch", "On 1 May, you wrote:"},
      {"mixed case", {"SUBJECT: re: Re: Test", "", "x"}, "Re: Test", ""},
      {"no subject line keeps the window's", {"From: a@b", "", "x"}, std::nullopt, ""},
      {"last subject wins", {"Subject: one", "Subject: two", "", "x"}, "Re: two", ""},
      {"subject in the body is no subject", {"From: a@b", "", "Subject: body", "Date: body"}, std::nullopt, ""},
  };
  for (const Row& row : rows) {
    ReplyQuote quote = QuoteReply(row.lines);
    EXPECT_EQ(quote.subject, row.subject) << row.name;
    ASSERT_FALSE(quote.text.empty()) << row.name;
    EXPECT_EQ(quote.text.front(), row.attribution) << row.name;
  }
}

TEST(ReplyQuote, QuotesTheBodyWithoutTrailingBlankLinesThenTwoEmptyLines) {
  ReplyQuote quote = QuoteReply({"Date: today", "", "first", "", "  last", " ", "", "\t"});
  EXPECT_EQ(quote.text, (Lines{"On today, you wrote:", "> first", "> ", ">   last", "", ""}));
  EXPECT_EQ(QuoteReply({}).text, (Lines{"", ""})) << "an unreadable file quotes nothing";
  EXPECT_EQ(QuoteReply({"From: a@b", "", " "}).text, (Lines{"", ""})) << "the header's own empty line is trailing";
}

TEST(ReplyQuote, SenderAndCopiesWithContinuationLines) {
  ReplyQuote quote = QuoteReply({"From: Ann <a@x>,", "  b@y ", "Cc: c@z,", " d@w", "To: me@here", "", "body"});
  EXPECT_EQ(Entries(quote.from), (Lines{"Ann <a@x>,", "b@y"}));
  EXPECT_EQ(Entries(quote.cc), (Lines{"c@z,", "d@w"}));
}

TEST(OpenedHeader, EachKindReadsItsAddressLines) {
  const Lines lines = {"From: Joe <joe@a>,",
                       " ann@b",
                       "To: t1@x,",
                       "\tno continuation",
                       " t2@y",
                       "Cc: c1@z,",
                       " c2@w",
                       "Subject:   Hi  ",
                       "Date: Tue",
                       "",
                       "body"};
  struct Row {
    OpenedKind kind;
    Lines addresses, cc;
  } rows[] = {
      {OpenedKind::kReceived, {"Joe <joe@a>,", "ann@b"}, {"c1@z,", "c2@w"}},
      {OpenedKind::kSent, {"t1@x,"}, {}},
      {OpenedKind::kPostponed, {"t1@x,"}, {"c1@z,", "c2@w"}},
  };
  for (const Row& row : rows) {
    OpenedHeader header = ReadOpenedHeader(lines, row.kind);
    EXPECT_EQ(Entries(header.addresses), row.addresses) << static_cast<int>(row.kind);
    EXPECT_EQ(Entries(header.cc), row.cc) << static_cast<int>(row.kind);
    EXPECT_EQ(header.subject, "Hi");
    EXPECT_EQ(header.date, "Tue");
    EXPECT_EQ(header.header_lines, 9u);
    EXPECT_EQ(header.body_start, 10u);
  }
  OpenedHeader headless = ReadOpenedHeader({"Subject: only", "To: x@y"}, OpenedKind::kSent);
  EXPECT_EQ(headless.header_lines, 2u);
  EXPECT_EQ(headless.body_start, 2u);
  EXPECT_EQ(ReadOpenedHeader({"Subject: " + std::string(300, 'x')}, OpenedKind::kReceived).subject.size(), 255u);
}

TEST(OpenedMessage, KindFollowsThePathIgnoringCase) {
  EXPECT_TRUE(IsSentMessagePath("/home/u/Mail/SENT MAIL/1.mail", "/home/u/mail/"));
  EXPECT_FALSE(IsSentMessagePath("/home/u/Mail/Sent Mail/old/1.mail", "/home/u/Mail/"));
  EXPECT_TRUE(IsPostponedMessagePath("/m/postponed/a.MAIL", "/m"));
  EXPECT_FALSE(IsPostponedMessagePath("/m/PostponedOld/a.mail", "/m/"));
  EXPECT_TRUE(IsNewMailPath("/m/Inbox/x.NewMail"));
  EXPECT_EQ(NewMailTarget("/m/Inbox/x.NewMail"), "/m/Inbox/x.mail");
  EXPECT_FALSE(IsPlainTextPath("/m/a.MAILx"));
  EXPECT_TRUE(IsPlainTextPath("/m/a.mai"));
  EXPECT_TRUE(IsPlainTextPath("/m.mail/readme"));
}

TEST(Signature, BlockAndCaret) {
  testing::TempDir dir;
  testing::WriteFile(dir / "Sig.txt", "Joe\r\n\xe9t\xe9\r\n");
  SignatureBlock block = ReadSignatureBlock(dir / "sig.TXT");
  EXPECT_EQ(block.lines, (Lines{"--", "Joe", "\xe9t\xe9"}));
  EXPECT_EQ(CaretLinesFromEnd(block, true), 5u);
  EXPECT_EQ(CaretLinesFromEnd(block, false), 4u);
  for (const std::string& none : {dir / "missing", dir.path(), ""s}) {
    EXPECT_FALSE(ReadSignatureBlock(none).appended()) << none;
    EXPECT_EQ(CaretLinesFromEnd(ReadSignatureBlock(none), true), 0u);
  }
  testing::WriteFile(dir / "empty", "");
  EXPECT_EQ(ReadSignatureBlock(dir / "empty").lines, (Lines{"--"}));
}

TEST(Outgoing, ThreeRecipientsWithCopies) {
  OutgoingFields fields{{"a@x,", "Bob <b@y>,", "c@z"}, {"d@w,", "e@v"}, "Plans", "Joe Q", "joe@a"};
  // clang-format off
  const Lines expected = {"To: a@x,", "          Bob <b@y>,", "          c@z", "From: Joe Q <joe@a>",
                          "Subject: Plans", "Cc: d@w,", "          e@v", "X-Mailreader: Corvelle, v1.24b",
                          "", "Hello", "", "."};
  // clang-format on
  EXPECT_EQ(BuildOutgoingLines(fields, {"Hello", "", "."}), expected);
}

TEST(Outgoing, HeaderTextStaysOnItsLineAndBytesPassThrough) {
  const std::string odd = "\xe4\x00\xff"s;
  OutgoingFields fields{{"a@x\r\nBcc: evil@y"}, {}, "one\r\ntwo\n" + odd, "Joe" + odd, "joe@a"};
  Lines body = {"body " + odd, "Subject: kept\r"};
  EXPECT_EQ(BuildOutgoingLines(fields, body),
            (Lines{"To: a@x  Bcc: evil@y", "From: Joe" + odd + " <joe@a>", "Subject: one  two " + odd,
                   "X-Mailreader: Corvelle, v1.24b", "", body[0], body[1]}));
  fields.subject.clear();
  EXPECT_EQ(BuildOutgoingLines(fields, {})[2], "X-Mailreader: Corvelle, v1.24b") << "no subject line";
  EXPECT_TRUE(BuildOutgoingLines({{}, {"c@z"}, "s", "n", "a"}, body).empty());
  EXPECT_EQ(QuoteReply({"Subject: " + odd, "", odd}).text[1], "> " + odd);
}

TEST(Outgoing, CheckAsksForRecipientFirstThenSubject) {
  EXPECT_EQ(CheckOutgoing({}, ""), OutgoingCheck::kNoRecipient);
  EXPECT_EQ(CheckOutgoing({"a@x"}, ""), OutgoingCheck::kNoSubject);
  EXPECT_EQ(CheckOutgoing({"a@x"}, " "), OutgoingCheck::kReady);
}

}  // namespace
}  // namespace corvelle
