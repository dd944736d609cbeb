#include "core/store/file_message.h"

#include <gtest/gtest.h>

#include "core/store/folder_list.h"
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
using Names = std::vector<std::string>;

// `s` padded with blanks to `width` characters (a UTF-8 sequence is one).
std::string Pad(const std::string& s, size_t width) {
  size_t chars = 0;
  for (char c : s) chars += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return s + std::string(width - chars, ' ');
}

std::string Repeat(const std::string& piece, int count) {
  std::string s;
  for (int i = 0; i < count; ++i) s += piece;
  return s;
}

// `count` times the letter e-acute in UTF-8.
std::string Letters(int count) { return Repeat("\xc3\xa9", count); }

class FileMessageTest : public testing::MailFixture {
 protected:
  void SetUp() override {
    MakeTree();
    for (const char* folder : {"A", "B", "Sent Mail Archive"}) ASSERT_TRUE(MakeFolders(mail_dir + folder));
  }

  // Files `lines` from a ".new" work file into `folder`; returns the one name found there.
  std::string FiledName(const Names& lines, const std::string& folder = "Inbox", const std::string& work = "3.new") {
    WriteFile(mail_dir + "Spool/" + work, "x");
    EXPECT_TRUE(Store().FileMessage(ui, "\"" + folder + "\"", "Spool", work, lines, false));
    std::string stored = ResolvePath(mail_dir + folder) + "/", name = ListNames(stored).at(0);
    EXPECT_EQ(ListNames(stored).size(), 1u);
    ::unlink((stored + name).c_str());
    return name;
  }

  std::string name = Pad("s", 50) + Pad("", 30) + ".newmail";  // of {"Subject: s", ...}
};

TEST_F(FileMessageTest, NamesBuiltFromTheHeader) {
  const std::string none = Pad("(none)", 50);
  struct Row { const char* name; Names lines; std::string subject, sender; } rows[] = {
      {"worked example", {"From: Ann Lee <ann.lee>", "Subject: Re: Lunch"}, Pad("Lunch", 50), "Ann Lee (ann,lee)"},
      {"no subject, empty sender", {"X-Other: 1", "", "body"}, none, ""},
      {"only re prefixes", {"Subject: Re: re: RE:"}, none, ""},
      {"re without space", {"subject: Re: RE:hello"}, Pad("hello", 50), ""},
      {"cleaned characters", {"Subject: Meeting 10.30 / room A"}, Pad("Meeting 10,30 - room A", 50), ""},
      {"long fields cut", {"Subject: " + std::string(60, 's'), "From: " + std::string(40, 'f')},
       std::string(50, 's'), std::string(30, 'f')},
      {"continuation", {"From: Ann Lee", " (Work)", "Subject: s"}, Pad("s", 50), "Ann Lee (Work)"},
      {"tab continuation", {"From: Ann", "\tLee", "Subject: s"}, Pad("s", 50), "Ann Lee"},
      {"later line in front", {"From: b", "FROM: a", "Subject: y", "Subject: x"}, Pad("xy", 50), "ab"},
      {"colon needs a space", {"From:x", "Subject:y"}, none, ""},
      {"two spaces", {"From:  x", "Subject: s"}, Pad("s", 50), "x"},
      {"header ends at the empty line", {"Subject: s", "", "From: body"}, Pad("s", 50), ""},
      {"8-bit read as Windows-1252, NUL cleaned", {"Subject: caf\xe9 \x01!", std::string("From: a\0b", 9)},
       Pad("caf\xc3\xa9  !", 50), "a b"},
      // Encoded words are decoded before naming, and a long name is cut between letters.
      {"encoded words", {"Subject: =?UTF-8?Q?Caf=C3=A9?=", " =?UTF-8?Q?_ok?=", "From: =?ISO-8859-1?Q?Jos=E9?= <j@x>"},
       Pad("Caf\xc3\xa9 ok", 50), "Jos\xc3\xa9 (j@x)"},
      {"cut between letters", {"Subject: " + std::string(60, '\xe9')}, Letters(50), ""},
      {"folded encoded subject", {"Subject: =?UTF-8?Q?Caf=C3=A9?=", "\t=?UTF-8?Q?_ok?=", "From: Ann", "\t<a@x>"},
       Pad("Caf\xc3\xa9 ok", 50), "Ann (a@x)"},
      {"folded base64 subject", {"Subject: =?UTF-8?B?UsO8Y2s=?=", "\t=?UTF-8?B?IEZvdG9z?="}, Pad("R\xc3\xbc" "ck Fotos", 50),
       ""},
      // 110 letters in one encoded word of 308 bytes: decoded whole, then cut.
      {"long encoded subject", {"Subject: =?UTF-8?B?" + Repeat("w6nDqcOp", 36) + "w6nDqQ==?="}, Letters(50), ""},
  };
  for (const Row& row : rows)
    EXPECT_EQ(FiledName(row.lines), row.subject + Pad(row.sender, 30) + ".newmail") << row.name;
  // The old names, byte for byte, for those who keep them.
  MailSettings.DecodeNames = false;
  EXPECT_EQ(FiledName({"Subject: =?UTF-8?Q?Caf=C3=A9?=", "From: caf\xe9"}),
            Pad("=-UTF-8-Q-Caf=C3=A9-=", 50) + Pad("caf", 30) + ".newmail");
  EXPECT_EQ(FiledName({"Subject: first", "\tsecond", "From: Ann", " Lee"}),
            Pad("first second", 50) + Pad("Ann Lee", 30) + ".newmail");
  MailSettings.DecodeNames = true;
}

TEST_F(FileMessageTest, ExtensionAndNameDependOnTheFolder) {
  Names lines = {"From: me", "To: you", "Subject: s"};
  std::string to = Pad("s", 50) + Pad("you", 30), from = Pad("s", 50) + Pad("me", 30);
  EXPECT_EQ(FiledName(lines, "Sent Mail Archive") + FiledName(lines, "sent mail"), to + ".mail" + to + ".mail");
  EXPECT_EQ(FiledName(lines, "Inbox"), from + ".newmail");
  EXPECT_EQ(FiledName(lines, "Inbox", "a.MAIL") + FiledName(lines, "Inbox", "a.Mai"), from + ".MAIL" + from + ".mail");
  EXPECT_EQ(FiledName(lines, "Inbox", "a.txt"), from + ".newmail");
  EXPECT_EQ(FiledName({"Subject: s", "To: last"}, "Sent Mail"), Pad("s", 50) + Pad("last", 30) + ".mail");
}

// A spool file filed by a rule into several folders: each gets a complete copy, whether or
// not the source exists, and the source goes only then. Without write-first the file moves
// once. An empty message files nothing.
TEST_F(FileMessageTest, EveryFolderGetsACopy) {
  EXPECT_TRUE(Store().FileMessage(ui, "\"A\"", "Spool", "1.new", {}, true) &&
              Store().FileMessage(ui, "\"A\"", "Spool", "1.new", {""}, true));
  Names lines = {"Subject: s", "", "body\0\xff"s};
  for (bool source_exists : {true, false}) {
    if (source_exists) WriteFile(mail_dir + "Spool/3.new", "Subject: s\r\n\r\nbody\0\xff\r\n"s);
    EXPECT_TRUE(Store().FileMessage(ui, "\"A\",\"B\"", "Spool/", "3.new", lines, true));
    EXPECT_EQ(ReadFile(mail_dir + "B/" + name), "Subject: s\r\n\r\nbody\0\xff\r\n"s);
    EXPECT_EQ(ListNames(mail_dir + "Spool"), Names{});
  }
  EXPECT_EQ(ListNames(mail_dir + "A"), (Names{name.substr(0, 80) + " 0.newmail", name})) << "none when empty";
  WriteFile(mail_dir + "Spool/w", "x");
  EXPECT_TRUE(Store().FileMessage(ui, "\"Inbox\",\"B\"", "Spool", "w", lines, false));
  EXPECT_EQ(ListNames(mail_dir + "Inbox").size() + ListNames(mail_dir + "B").size(), 3u) << "Inbox only";
}

// A refused move does not stop the later folders and leaves no work file behind; the result
// tells a refused move from a failed write.
TEST_F(FileMessageTest, RefusedMovesAndFailedWritesAreReported) {
  WriteFile(mail_dir + "Spool/3.new", "kept");
  FilingResult result;
  EXPECT_FALSE(Store().FileMessage(ui, "\"A\",\"Missing\",\"B\"", "Spool", "3.new", {"Subject: s"}, true, result));
  ASSERT_EQ(result.copies.size(), 3u);
  EXPECT_TRUE(result.copies[1].outcome == Filing::kMoveRefused && result.copies[2].name == mail_dir + "B/" + name);
  EXPECT_FALSE(result.AllMoved() || result.WriteFailed() || PathExists(mail_dir + "Missing"));
  EXPECT_EQ(ListNames(mail_dir + "A"), Names{name});
  EXPECT_EQ(ListNames(mail_dir + "Spool"), Names{"3.new"}) << "the source stays to be filed again";
  EXPECT_FALSE(Store().FileMessage(ui, "\"A\"", "No Spool", "w", {"Subject: s"}, true, result) ||
               !result.WriteFailed());
  // Nothing else holds the message: the refused copy stays under the name asked for.
  EXPECT_FALSE(Store().FileMessage(ui, "\"Missing\"", "Spool", "0", {"Subject: s"}, true, result));
  EXPECT_EQ(result.kept + ReadFile(mail_dir + "Spool/0"), mail_dir + "Spool/0" + "Subject: s\r\n");
  EXPECT_EQ(ListNames(mail_dir + "Spool"), (Names{"0", "3.new"}));
}

TEST_F(FileMessageTest, LongListsKeepEveryFolderAndAnOpenEntryIsTheMailDirectory) {
  Names folders = {mail_dir + "Absolute"};
  for (int i = 0; i < 12; ++i) folders.push_back("Folder number " + std::to_string(i) + " with a rather long name");
  for (const std::string& folder : folders) ASSERT_TRUE(MakeFolders(folder[0] == '/' ? folder : mail_dir + folder));
  ASSERT_GT(JoinFolderList(folders).size(), 255u);
  EXPECT_TRUE(Store().FileMessage(ui, JoinFolderList(folders), "Spool", "w", {"Subject: s"}, true));
  for (const std::string& folder : folders)
    EXPECT_EQ(ListNames(folder[0] == '/' ? folder : mail_dir + folder).size(), 1u) << folder;
  EXPECT_TRUE(Store().FileMessage(ui, "\"Inbox\",\"Post", "Spool", "w", {"Subject: s"}, true));
  EXPECT_TRUE(ListNames(mail_dir + "Inbox") == Names{name} && PathExists(mail_dir + name)) << "not the root";
}

}  // namespace
}  // namespace corvelle
