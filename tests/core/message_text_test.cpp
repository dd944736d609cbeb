#include "core/store/message_text.h"

#include <gtest/gtest.h>

#include "core/store/big_file.h"
#include "core/settings/settings.h"
#include "platform/paths.h"
#include "support/mail_fixture.h"
#include "support/test_settings.h"

namespace corvelle {
namespace {

using namespace std::string_literals;
using testing::ListNames;
using testing::ReadFile;
using testing::WriteFile;
using Lines = std::vector<std::string>;

TEST(BigFileTest, LineEnds) {
  struct Row { std::string data; Lines lines; } rows[] = {
      {"a\r\nb\nc", {"a", "b", "c"}},   {"a\rb\r\n", {"a\rb"}},  // a lone CR stays in the line
      {"", {}},                          {"\r\n", {""}},
      {"a\n\n", {"a", ""}},              {"a\r\r\n", {"a\r"}},  // a last line end adds no line
      {"a\r", {"a\r"}},                  {"a\n\rb", {"a", "\rb"}},
      {"\0\xff\r\n\x80"s, {"\0\xff"s, "\x80"}},
      {std::string(1000, 'x') + "\r\n", {std::string(1000, 'x')}},
      {std::string(254, 'x') + "\r\nb", {std::string(254, 'x'), "b"}},  // line ends across 255-byte pieces
      {std::string(255, 'x') + "\n\r\n", {std::string(255, 'x'), ""}},
      {std::string(254, 'x') + "\r\r\n", {std::string(254, 'x') + "\r"}},
  };
  for (const Row& row : rows) {
    TBigFile file;
    file.LoadFromString(row.data);
    Lines lines;
    std::string s = "junk";
    while (file.GetNextString(s)) lines.push_back(s);
    EXPECT_EQ(lines, row.lines) << row.data.substr(0, 10);
    EXPECT_EQ(s, "") << "false leaves the string empty";
    file.SetPosition(2000);
    EXPECT_EQ(file.Position(), row.data.size());
  }
}

class MessageTextTest : public testing::MailFixture {};

TEST_F(MessageTextTest, BytesSurviveAReadAndAWrite) {
  std::string data = "From: a\r\n\r\n\0\x80\xff\r\nbare\n\r\n"s;
  std::string path = mail_dir + "Inbox/m.mail";
  WriteFile(path, data);
  Lines lines = {"stale"};
  ASSERT_TRUE(ReadMessageLines(mail_dir + "INBOX/M.MAIL", lines));
  EXPECT_EQ(lines, (Lines{"From: a", "", "\0\x80\xff"s, "bare", ""}));
  EXPECT_FALSE(WriteMessageLines(mail_dir + "inbox/M.mail", {"other"})) << "never replaces a file";
  EXPECT_EQ(ReadFile(path), data);
  ASSERT_TRUE(WriteMessageLines(mail_dir + "inbox/copy.mail", lines));
  EXPECT_EQ(ReadFile(mail_dir + "Inbox/copy.mail"), "From: a\r\n\r\n\0\x80\xff\r\nbare\r\n\r\n"s);
  EXPECT_EQ(ListNames(mail_dir + "Inbox"), (Lines{"copy.mail", "m.mail"})) << "no temporary file left";
  EXPECT_FALSE(ReadMessageLines(mail_dir + "Spool/missing", lines) || !lines.empty());
}

TEST_F(MessageTextTest, AddressBookChoice) {
  std::string books = mail_dir + "System/AddressBook/";
  EXPECT_EQ(FillAddressBookList(ui, Store(), MailSettings.DefaultAB).selected, -1) << "no books at all";
  for (const char* name : {"work.cvab", "AddressBook.cvab", "family.cvab", "notes"}) WriteFile(books + name, "");
  MailSettings.DefaultAB = "FAMILY";
  EXPECT_EQ(FillAddressBookList(ui, Store(), MailSettings.DefaultAB).names,
            (Lines{"AddressBook", "family", "notes", "work"}));
  EXPECT_EQ(FillAddressBookList(ui, Store(), MailSettings.DefaultAB).selected, 1);
  for (const char* book : {"gone", ""}) {
    MailSettings.DefaultAB = book;
    EXPECT_EQ(FillAddressBookList(ui, Store(), MailSettings.DefaultAB).selected, 0) << book;
  }
}

}  // namespace
}  // namespace corvelle
