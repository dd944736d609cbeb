#include "core/message_text.h"

#include <gtest/gtest.h>

#include "core/settings.h"
#include "platform/paths.h"
#include "support/mail_fixture.h"

namespace corvelle {
namespace {

using namespace std::string_literals;
using testing::ListNames;
using testing::ReadFile;
using testing::WriteFile;
using Lines = std::vector<std::string>;

class MessageTextTest : public testing::MailFixture {};

TEST_F(MessageTextTest, BytesSurviveAReadAndAWrite) {
  std::string data = "From: a\r\n\r\n\0\x80\xff\r\nlone\rcr\r\n\r\n"s;
  std::string path = mail_dir + "Inbox/m.mail";
  WriteFile(path, data);
  Lines lines = {"stale"};
  ASSERT_TRUE(ReadMessageLines(mail_dir + "INBOX/M.MAIL", lines));
  EXPECT_EQ(lines, (Lines{"From: a", "", std::string("\0\x80\xff", 3), "lone\rcr", ""}));
  EXPECT_FALSE(WriteMessageLines(mail_dir + "inbox/M.mail", {"other"})) << "never replaces a file";
  EXPECT_EQ(ReadFile(path), data);
  ASSERT_TRUE(WriteMessageLines(mail_dir + "inbox/copy.mail", lines));
  EXPECT_EQ(ReadFile(mail_dir + "Inbox/copy.mail"), data);
  EXPECT_EQ(ListNames(mail_dir + "Inbox"), (Lines{"copy.mail", "m.mail"})) << "no temporary file left";
}

TEST_F(MessageTextTest, BareLineFeedsAreReadAndCrLfWritten) {
  std::string path = mail_dir + "Spool/0";
  WriteFile(path, "a\nb\r\nc");
  Lines lines;
  ASSERT_TRUE(ReadMessageLines(path, lines));
  EXPECT_EQ(lines, (Lines{"a", "b", "c"}));
  ASSERT_TRUE(WriteMessageLines(mail_dir + "spool/1", lines));
  EXPECT_EQ(ReadFile(mail_dir + "Spool/1"), "a\r\nb\r\nc\r\n");
  EXPECT_FALSE(ReadMessageLines(mail_dir + "Spool/missing", lines));
  EXPECT_EQ(lines, Lines{});
}

TEST_F(MessageTextTest, NewMessageNameAndAddressBookChoice) {
  EXPECT_EQ(NewMessageName(0), "Compose New Message 1");
  EXPECT_EQ(NewMessageName(11), "Compose New Message 12");
  std::string books = mail_dir + "System/AddressBook/";
  EXPECT_EQ(FillAddressBookList().selected, -1) << "no books at all";
  for (const char* name : {"work.cvab", "AddressBook.cvab", "family.cvab", "notes"}) WriteFile(books + name, "");
  MailSettings.DefaultAB = "FAMILY";
  AddressBookChoice choice = FillAddressBookList();
  EXPECT_EQ(choice.names, (Lines{"AddressBook", "family", "notes", "work"}));
  EXPECT_EQ(choice.selected, 1);
  MailSettings.DefaultAB = "gone";
  EXPECT_EQ(FillAddressBookList().selected, 0);
  MailSettings.DefaultAB = "";
  EXPECT_EQ(FillAddressBookList().selected, 0);
}

}  // namespace
}  // namespace corvelle
