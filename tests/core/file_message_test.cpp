#include "core/file_message.h"

#include <gtest/gtest.h>

#include "core/folder_list.h"
#include "core/settings.h"
#include "platform/paths.h"
#include "support/mail_fixture.h"

namespace corvelle {
namespace {

using namespace std::string_literals;
using testing::ListNames;
using testing::ReadFile;
using testing::WriteFile;

std::string Pad(const std::string& s, size_t width) { return s + std::string(width - s.size(), ' '); }

class FileMessageTest : public testing::MailFixture {
 protected:
  void SetUp() override { MakeTree(); }

  // Files `lines` from a ".new" work file into `folder`; returns the one name found there.
  std::string FiledName(const std::vector<std::string>& lines, const std::string& folder = "Inbox",
                        const std::string& work = "3.new") {
    WriteFile(mail_dir + "Spool/" + work, "x");
    EXPECT_TRUE(FileMessage("\"" + folder + "\"", "Spool", work, lines, false));
    std::string stored = ResolvePath(mail_dir + folder);
    std::vector<std::string> names = ListNames(stored);
    EXPECT_EQ(names.size(), 1u);
    ::unlink((stored + "/" + (names.empty() ? "" : names[0])).c_str());
    return names.empty() ? "" : names[0];
  }
};

TEST_F(FileMessageTest, WorkedExample) {
  ASSERT_TRUE(MakeFolders(mail_dir + "Friends"));
  WriteFile(mail_dir + "Spool/3.new", "From: Ann Lee <ann.lee>\r\nSubject: Re: Lunch\r\n\r\nHi\r\n");
  ASSERT_TRUE(FileMessage("\"Friends\"", "Spool", "3.new", {"From: Ann Lee <ann.lee>", "Subject: Re: Lunch", "", "Hi"},
                          false));
  std::string expected = "Lunch" + std::string(45, ' ') + "Ann Lee (ann,lee)" + std::string(13, ' ') + ".newmail";
  EXPECT_EQ(ListNames(mail_dir + "Friends"), std::vector<std::string>{expected});
  EXPECT_EQ(ListNames(mail_dir + "Spool"), std::vector<std::string>{});
  EXPECT_EQ(ReadFile(mail_dir + "Friends/" + expected), "From: Ann Lee <ann.lee>\r\nSubject: Re: Lunch\r\n\r\nHi\r\n");
}

TEST_F(FileMessageTest, NamesBuiltFromTheHeader) {
  const std::string none = Pad("(none)", 50);
  struct Row {
    const char* name;
    std::vector<std::string> lines;
    std::string subject, sender;
  } rows[] = {
      {"no subject, empty sender", {"X-Other: 1", "", "body"}, none, ""},
      {"only re prefixes", {"Subject: Re: re: RE:"}, none, ""},
      {"re without space", {"subject: Re: RE:hello"}, Pad("hello", 50), ""},
      {"cleaned characters", {"Subject: Meeting 10.30 / room A"}, Pad("Meeting 10,30 - room A", 50), ""},
      {"long fields cut", {"Subject: " + std::string(60, 's'), "From: " + std::string(40, 'f')},
       std::string(50, 's'), std::string(30, 'f')},
      {"continuation", {"From: Ann Lee", " (Work)", "Subject: s"}, Pad("s", 50), "Ann Lee (Work)"},
      {"tab is no continuation", {"From: Ann", "\tLee", "Subject: s"}, Pad("s", 50), "Ann"},
      {"later line in front", {"From: b", "FROM: a", "Subject: y", "Subject: x"}, Pad("xy", 50), "ab"},
      {"colon needs a space", {"From:x", "Subject:y"}, none, ""},
      {"two spaces", {"From:  x", "Subject: s"}, Pad("s", 50), "x"},
      {"header ends at the empty line", {"Subject: s", "", "From: body"}, Pad("s", 50), ""},
      {"8-bit and NUL cleaned", {"Subject: caf\xe9 \x01!", std::string("From: a\0b", 9)}, Pad("caf   !", 50), "a b"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(FiledName(row.lines), row.subject + Pad(row.sender, 30) + ".newmail") << row.name;
}

TEST_F(FileMessageTest, ExtensionAndNameDependOnTheFolder) {
  ASSERT_TRUE(MakeFolders(mail_dir + "Sent Mail Archive"));
  std::vector<std::string> lines = {"From: me", "To: you", "Subject: s"};
  EXPECT_EQ(FiledName(lines, "Sent Mail Archive"), Pad("s", 50) + Pad("you", 30) + ".mail");
  EXPECT_EQ(FiledName(lines, "sent mail"), Pad("s", 50) + Pad("you", 30) + ".mail");
  EXPECT_EQ(FiledName(lines, "Inbox"), Pad("s", 50) + Pad("me", 30) + ".newmail");
  EXPECT_EQ(FiledName(lines, "Inbox", "a.MAIL"), Pad("s", 50) + Pad("me", 30) + ".MAIL");
  EXPECT_EQ(FiledName(lines, "Inbox", "a.Mai"), Pad("s", 50) + Pad("me", 30) + ".mail");
  EXPECT_EQ(FiledName(lines, "Inbox", "a.txt"), Pad("s", 50) + Pad("me", 30) + ".newmail");
  EXPECT_EQ(FiledName({"Subject: s", "To: last"}, "Sent Mail"), Pad("s", 50) + Pad("last", 30) + ".mail");
}

TEST_F(FileMessageTest, EmptyMessagesFileNothing) {
  WriteFile(mail_dir + "Spool/1.new", "");
  EXPECT_TRUE(FileMessage("\"Inbox\"", "Spool", "1.new", {}, true));
  EXPECT_TRUE(FileMessage("\"Inbox\"", "Spool", "1.new", {""}, true));
  EXPECT_EQ(ListNames(mail_dir + "Inbox"), std::vector<std::string>{});
  EXPECT_EQ(ReadFile(mail_dir + "Spool/1.new"), "");
}

TEST_F(FileMessageTest, SeveralFoldersNeedWriteFirst) {
  ASSERT_TRUE(MakeFolders(mail_dir + "A"));
  ASSERT_TRUE(MakeFolders(mail_dir + "B"));
  std::vector<std::string> lines = {"Subject: s", "", "body\0\xff"s};
  WriteFile(mail_dir + "Spool/w", "Subject: s\r\n\r\nbody\r\n");
  EXPECT_TRUE(FileMessage("\"A\",\"B\"", "Spool", "w", lines, false));
  EXPECT_EQ(ListNames(mail_dir + "A").size(), 1u);
  EXPECT_EQ(ListNames(mail_dir + "B").size(), 0u);

  // With write_first the source need not exist; each folder gets a complete copy.
  EXPECT_TRUE(FileMessage("\"A\",\"B\"", "Spool/", "w", lines, true));
  std::string name = Pad("s", 50) + Pad("", 30);
  EXPECT_EQ(ListNames(mail_dir + "A"), (std::vector<std::string>{name + " 0.newmail", name + ".newmail"}));
  EXPECT_EQ(ReadFile(mail_dir + "B/" + name + ".newmail"), "Subject: s\r\n\r\nbody\0\xff\r\n"s);
  EXPECT_EQ(ListNames(mail_dir + "Spool"), std::vector<std::string>{});
}

TEST_F(FileMessageTest, LongFolderListsKeepEveryFolder) {
  std::vector<std::string> folders;
  for (int i = 0; i < 12; ++i) {
    folders.push_back("Folder number " + std::to_string(i) + " with a rather long name");
    ASSERT_TRUE(MakeFolders(mail_dir + folders.back()));
  }
  folders.push_back(mail_dir + "Absolute");
  ASSERT_TRUE(MakeFolders(folders.back()));
  std::string list = JoinFolderList(folders);
  ASSERT_GT(list.size(), 255u);
  EXPECT_TRUE(FileMessage(list, "Spool", "w", {"Subject: s"}, true));
  for (const std::string& folder : folders)
    EXPECT_EQ(ListNames(folder[0] == '/' ? folder : mail_dir + folder).size(), 1u) << folder;
}

TEST_F(FileMessageTest, AnEntryWithoutItsClosingQuoteIsTheMailDirectory) {
  EXPECT_TRUE(FileMessage("\"Inbox\",\"Post", "Spool", "w", {"Subject: s"}, true));
  std::string name = Pad("s", 50) + Pad("", 30) + ".newmail";
  EXPECT_EQ(ListNames(mail_dir + "Inbox"), std::vector<std::string>{name});
  EXPECT_TRUE(PathExists(mail_dir + name)) << "not the root of the file system";
}

TEST_F(FileMessageTest, FailedWriteIsReportedAndTheOtherFoldersTried) {
  ASSERT_TRUE(MakeFolders(mail_dir + "A"));
  WriteFile(mail_dir + "Spool/w", "kept");
  // A work-file name the file system refuses: neither written nor moved.
  EXPECT_FALSE(FileMessage("\"A\",\"Missing\"", "Spool", std::string(300, 'n'), {"Subject: s"}, true));
  EXPECT_EQ(ListNames(mail_dir + "A"), std::vector<std::string>{});
  // A target folder that does not exist refuses the move and leaves the message in Spool.
  EXPECT_TRUE(FileMessage("\"Missing\"", "Spool", "w", {"Subject: s"}, false));
  EXPECT_EQ(ReadFile(mail_dir + "Spool/w"), "kept");
  EXPECT_FALSE(PathExists(mail_dir + "Missing"));
}

}  // namespace
}  // namespace corvelle
