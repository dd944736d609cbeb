// Reading an outgoing message once: its envelope, its header as the server sees it, and the
// names the status lines and boxes give it.

#include "net/smtp/outgoing_mail.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace corvelle {
namespace {

using Lines = std::vector<std::string>;

TEST(OutgoingMail, WindowLinesGiveTheEnvelopeTheHeaderAndTheSubject) {
  const Lines lines = {"To: ann@x, \"Lee, Bo\" <bo@x>", "Cc: cy@x", "Subject: =?UTF-8?Q?Gr=C3=BC=C3=9Fe?=", "",
                       "To: body@x"};
  int scanned = 0;
  OutgoingMail mail = ReadOutgoingMail("", &lines, " Self <self@site> ", [&scanned] { ++scanned; });
  EXPECT_EQ(mail.from, "self@site");
  EXPECT_EQ(mail.recipients, (Lines{"ann@x", "bo@x", "cy@x"}));
  EXPECT_EQ(mail.header, (Lines{lines[0], lines[1], lines[2]}));
  EXPECT_EQ(mail.subject_lines, Lines{lines[2]});
  EXPECT_EQ(mail.subject, "Gr\xC3\xBC\xC3\x9F" "e");
  EXPECT_EQ(mail.text.Data(), "To: ann@x, \"Lee, Bo\" <bo@x>\r\nCc: cy@x\r\nSubject: =?UTF-8?Q?Gr=C3=BC=C3=9Fe?=\r\n\r\n"
                              "To: body@x\r\n");
  EXPECT_EQ(mail.source, "");
  EXPECT_EQ(mail.lines, &lines);
  EXPECT_EQ(scanned, 3);
}

TEST(OutgoingMail, ASpoolFileIsReadAsTheServerWillSplitIt) {
  testing::TempDir dir;
  testing::WriteFile(dir / "Spool/0.OUT", "To: a@x\rrcpt to:<eve@x>\r\n\r\nbody\r\n");
  OutgoingMail mail = ReadOutgoingMail(dir / "Spool/0.out", nullptr, "self@site", {});
  EXPECT_EQ(mail.source, dir / "Spool/0.OUT");  // the letter case as stored
  EXPECT_EQ(mail.header, (Lines{"To: a@x", "rcpt to:<eve@x>"}));
  EXPECT_EQ(mail.recipients, Lines{"a@x"});
  EXPECT_EQ(mail.subject, "(none)");
  EXPECT_EQ(mail.lines, nullptr);
}

TEST(OutgoingMail, AnUnreadableFileHasNoRecipients) {
  testing::TempDir dir;
  OutgoingMail mail = ReadOutgoingMail(dir / "missing.out", nullptr, "self@site", {});
  EXPECT_EQ(mail.header, Lines{});
  EXPECT_EQ(mail.recipients, Lines{});
  EXPECT_EQ(mail.text.Data(), "");
}

}  // namespace
}  // namespace corvelle
