// The logic behind the message windows: reading an opened header, quoting a reply, the
// signature block and the outgoing lines.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <optional>

#include "core/store/addresses.h"
#include "core/compose/identity_choice.h"
#include "core/compose/opened_message.h"
#include "core/compose/outgoing_message.h"
#include "core/compose/reply_quote.h"
#include "core/compose/signature.h"
#include "core/mime/mime_reader.h"
#include "core/store/mail_store.h"
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

// A field goes on over the lines that start with a space or a TAB, wherever it is read:
// the panel's subject and addresses, the reply's subject and recipients.
TEST(HeaderFields, FoldedFieldsAreReadWhole) {
  const Lines lines = {"Subject: A long subject",
                       "\tfolded twice",
                       "  here",
                       "From: \"Doe,",
                       "\tJohn\" <john@example.com>",
                       "Cc: a@x,",
                       "\tb@y",
                       "Date: Mon,",
                       "\t7 Dec 2026",
                       "",
                       "body"};
  OpenedHeader header = ReadOpenedHeader(lines, OpenedKind::kReceived);
  EXPECT_EQ(header.subject, "A long subject folded twice here");
  EXPECT_EQ(header.date, "Mon, 7 Dec 2026");
  EXPECT_EQ(Entries(header.addresses), Lines{"\"Doe, John\" <john@example.com>"});
  EXPECT_EQ(Entries(header.cc), (Lines{"a@x,", "b@y"}));
  ReplyQuote quote = QuoteReply(lines);
  EXPECT_EQ(quote.subject, "Re: A long subject folded twice here");
  EXPECT_EQ(quote.text.front(), "On Mon, 7 Dec 2026, you wrote:");
  EXPECT_EQ(Entries(quote.from), Lines{"\"Doe, John\" <john@example.com>"});
  // A long decoded subject is cut after 255 letters, not inside one.
  std::string letters;
  for (int i = 0; i < 300; ++i) letters += "\xc3\xa9";
  EXPECT_EQ(ReadOpenedHeader({"Subject: " + letters}, OpenedKind::kReceived).subject, letters.substr(0, 510));
}

// The answered message as a reader sees it: a folded encoded subject and a sender whose
// name holds a comma go whole into the reply.
TEST(ReplyQuote, FoldedEncodedSubjectAndQuotedSender) {
  ReplyQuote quote = QuoteReplyMessage(
      "From: \"Doe, John\" <john@example.com>\r\n"
      "Subject: =?UTF-8?B?w6lsw6h2ZQ==?=\r\n\t=?UTF-8?Q?_suite?=\r\n"
      "Date: Mon, 7 Dec 2026\r\n\r\nHello\r\n");
  EXPECT_EQ(quote.subject, "Re: \xc3\xa9l\xc3\xa8ve suite");
  EXPECT_EQ(Entries(quote.from), Lines{"\"Doe, John\" <john@example.com>"});
  EXPECT_EQ(quote.text, (Lines{"On Mon, 7 Dec 2026, you wrote:", "> Hello", "", ""}));
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
                       "\tt2@y",
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
      {OpenedKind::kSent, {"t1@x,", "t2@y"}, {}},
      {OpenedKind::kPostponed, {"t1@x,", "t2@y"}, {"c1@z,", "c2@w"}},
  };
  for (const Row& row : rows) {
    OpenedHeader header = ReadOpenedHeader(lines, row.kind);
    EXPECT_EQ(Entries(header.addresses), row.addresses) << static_cast<int>(row.kind);
    EXPECT_EQ(Entries(header.cc), row.cc) << static_cast<int>(row.kind);
    EXPECT_EQ(header.subject, "Hi");
    EXPECT_EQ(header.date, "Tue");
    EXPECT_EQ(header.header_lines, 8u);
    EXPECT_EQ(header.body_start, 9u);
  }
  OpenedHeader headless = ReadOpenedHeader({"Subject: only", "To: x@y"}, OpenedKind::kSent);
  EXPECT_EQ(headless.header_lines, 2u);
  EXPECT_EQ(headless.body_start, 2u);
  EXPECT_EQ(ReadOpenedHeader({"Subject: " + std::string(300, 'x')}, OpenedKind::kReceived).subject.size(), 255u);
}

TEST(OpenedMessage, KindFollowsThePathIgnoringCase) {
  EXPECT_TRUE(IsSentMessagePath("/home/u/Mail/SENT MAIL/1.mail", "/home/u/mail/"));
  EXPECT_FALSE(IsSentMessagePath("/home/u/Mail/Sent Mail/old/1.mail", "/home/u/Mail/"));
  EXPECT_TRUE(MailStore("/m").InPostponed("/m/postponed/a.MAIL"));
  EXPECT_FALSE(MailStore("/m/").InPostponed("/m/PostponedOld/a.mail"));
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

// Fixed date and id: the lines compare whole.
OutgoingFields Fields(std::vector<std::string> to, std::vector<std::string> cc, std::string subject, std::string name) {
  OutgoingFields fields;
  fields.to = std::move(to);
  fields.cc = std::move(cc);
  fields.subject = std::move(subject);
  fields.my_name = std::move(name);
  fields.mail_address = "joe@a";
  fields.date = "Sun, 06 Dec 2026 21:00:00 +0000";
  fields.message_id = "<1@a>";
  return fields;
}
const Lines kStamp = {"Date: Sun, 06 Dec 2026 21:00:00 +0000", "Message-ID: <1@a>", "X-Mailreader: Corvelle, v1.24b",
                      "MIME-Version: 1.0", "Content-Type: text/plain; charset=UTF-8"};

Lines Join(std::initializer_list<Lines> parts) {
  Lines all;
  for (const Lines& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

TEST(Outgoing, ThreeRecipientsWithCopies) {
  OutgoingFields fields = Fields({"a@x,", "Bob <b@y>,", "c@z"}, {"d@w,", "e@v"}, "Plans", "Joe Q");
  const Lines expected = Join({{"To: a@x,", "          Bob <b@y>,", "          c@z", "From: Joe Q <joe@a>",
                                "Subject: Plans", "Cc: d@w,", "          e@v"},
                               kStamp,
                               {"Content-Transfer-Encoding: 7bit", "", "Hello", "", "."}});
  EXPECT_EQ(BuildOutgoingLines(fields, {"Hello", "", "."}), expected);
}

TEST(Outgoing, HeaderTextStaysOnItsLineAndEightBitIsEncoded) {
  OutgoingFields fields = Fields({"a@x\r\nBcc: evil@y"}, {}, "one\r\ntwo \xc3\xa9", "J\xc3\xb6" "e");
  fields.in_reply_to = "<9@b>";
  fields.references = "<8@b> <9@b>";
  Lines body = {"caf\xc3\xa9", "Subject: kept\r"};
  EXPECT_EQ(BuildOutgoingLines(fields, body),
            Join({{"To: a@x  Bcc: evil@y", "From: =?UTF-8?B?SsO2ZQ==?= <joe@a>", "Subject: =?UTF-8?B?b25lICB0d28gw6k=?=",
                   "In-Reply-To: <9@b>", "References: <8@b> <9@b>"},
                  kStamp,
                  {"Content-Transfer-Encoding: 8bit", "", body[0], body[1]}}));
  fields.subject.clear();
  EXPECT_EQ(BuildOutgoingLines(fields, {})[2], "In-Reply-To: <9@b>") << "no subject line";
  EXPECT_TRUE(BuildOutgoingLines(Fields({}, {"c@z"}, "s", "n"), body).empty());
  const std::string odd = "\xe4\x00\xff"s;
  EXPECT_EQ(QuoteReply({"Subject: " + odd, "", odd}).text[1], "> " + odd);
}

// Dates in the local zone with its offset, English names whatever the locale; ids unique,
// in the sender's domain.
TEST(Outgoing, DateAndMessageId) {
  const char* old = std::getenv("TZ");
  const std::string saved = old ? old : "";
  for (const auto& [zone, date] : {std::pair{"UTC0", "Thu, 01 Jan 1970 00:00:00 +0000"},
                                   std::pair{"XST+03:30", "Wed, 31 Dec 1969 20:30:00 -0330"}}) {
    ::setenv("TZ", zone, 1);
    ::tzset();
    EXPECT_EQ(MailDate(0), date) << zone;
  }
  old ? ::setenv("TZ", saved.c_str(), 1) : ::unsetenv("TZ");
  ::tzset();
  const std::string first = NewMessageId("Joe <joe@mail.example>"), second = NewMessageId("joe@mail.example");
  EXPECT_TRUE(first != second && first.ends_with("@mail.example>") && first[0] == '<') << first;
  EXPECT_TRUE(NewMessageId("nobody").ends_with("@corvelle.invalid>"));
}

// A line too long for SMTP goes out quoted-printable, decoding to the same bytes; files go
// in a multipart/mixed message that reads back as the same text and attachments.
TEST(Outgoing, LongLinesAndAttachmentsReadBack) {
  const std::string long_line = std::string(1200, 'x') + " \xc3\xa9=";
  OutgoingFields fields = Fields({"a@x"}, {}, "s", "n");
  Lines lines = BuildOutgoingLines(fields, {long_line, "end "});
  EXPECT_NE(std::find(lines.begin(), lines.end(), "Content-Transfer-Encoding: quoted-printable"), lines.end());
  for (const std::string& line : lines) EXPECT_LE(line.size(), 76u);
  auto text = [](const Lines& message) {
    std::string all;
    for (const std::string& line : message) all += line + "\r\n";
    return all;
  };
  EXPECT_EQ(ReadMimeContent(text(lines)).text, long_line + "\nend \n");

  const std::string binary = "\x00\x01\xff\r\n"s + std::string(5000, 'b');
  fields.attachments = {{"r\xc3\xa9sum\xc3\xa9.pdf", "application/pdf", binary}, {"a.txt", "text/plain", "hi"}};
  const std::string message = text(BuildOutgoingLines(fields, {"Hello"}));
  MimeContent content = ReadMimeContent(message);
  EXPECT_EQ(content.text, "Hello");
  ASSERT_EQ(content.attachments.size(), 2u);
  EXPECT_EQ(content.attachments[0].name, "r\xc3\xa9sum\xc3\xa9.pdf");
  EXPECT_EQ(content.attachments[0].size, binary.size());
  std::vector<OutgoingAttachment> back = ReadOutgoingAttachments(message);
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0].bytes, binary);
  EXPECT_EQ(back[1].type, "text/plain");
}

TEST(Outgoing, CheckAsksForRecipientFirstThenSubject) {
  EXPECT_EQ(CheckOutgoing({}, ""), OutgoingCheck::kNoRecipient);
  EXPECT_EQ(CheckOutgoing({"a@x"}, ""), OutgoingCheck::kNoSubject);
  EXPECT_EQ(CheckOutgoing({"a@x"}, " "), OutgoingCheck::kReady);
}

// A reply goes out as the identity the answered message was sent to: its To before its Cc,
// addresses compared ignoring case, the first identity when none was addressed.
TEST(Identity, ReplyGoesOutAsTheIdentityAddressed) {
  std::vector<Account> accounts(4);
  accounts[0].MailAddress = "ann@home.org";
  accounts[1].MailAddress = " ";  // no address: no identity
  accounts[2].MailAddress = "Ann <ann@work.com>";
  accounts[3].MailAddress = "boss@work.com";
  const std::vector<Account> identities = SendingIdentities(accounts);
  ASSERT_EQ(identities.size(), 3u);
  const struct {
    const char* name;
    const char* to;
    const char* cc;
    size_t expected;
  } rows[] = {
      {"to, case ignored", "x@y, \"Lee, Ann\" <ANN@Work.Com>", "", 1},
      {"to wins over cc", "boss@work.com", "ann@home.org", 2},
      {"account order within to", "boss@work.com, ann@work.com", "", 1},
      {"cc when to names none", "x@y", "(Ann) ann@work.com", 1},
      {"none: the first", "x@y", "ann@work.com.evil", 0},
      {"no header lines", "", "", 0},
  };
  for (const auto& row : rows) EXPECT_EQ(ReplyIdentity(identities, row.to, row.cc), row.expected) << row.name;
  EXPECT_EQ(QuoteReply({"To: x@y,", " boss@work.com", "", "b"}).to, "x@y, boss@work.com");
}

}  // namespace
}  // namespace corvelle
