#include "core/file_naming.h"

#include <gtest/gtest.h>

#include "core/settings.h"
#include "platform/paths.h"
#include "support/mail_fixture.h"

namespace corvelle {
namespace {

using testing::ListNames;
using testing::ReadFile;
using testing::WriteFile;

class FileNamingTest : public testing::MailFixture {
 protected:
  void SetUp() override { MakeTree(); }
  std::string spool = mail_dir + "Spool";
};

TEST_F(FileNamingTest, CounterNamesRunInUpperCaseHex) {
  for (int i = 0; i < 10; ++i) WriteFile(spool + "/" + std::to_string(i) + ".out", "");
  EXPECT_EQ(UniqueFileName(spool + "//", ".out"), spool + "/A.out");
  EXPECT_EQ(SpoolFileName(), spool + "/A.out");
  for (char c = 'A'; c <= 'F'; ++c) WriteFile(spool + "/" + c + ".out", "");
  EXPECT_EQ(UniqueFileName(spool, ".out"), spool + "/10.out");
  EXPECT_EQ(UniqueFileName(spool, ""), spool + "/0") << "each extension counts on its own";
}

TEST_F(FileNamingTest, CaseVariantsAreTakenAndTheFolderResolves) {
  WriteFile(spool + "/0.OUT", "");
  WriteFile(spool + "/a.out", "");
  for (int i = 1; i < 10; ++i) WriteFile(spool + "/" + std::to_string(i) + ".out", "");
  EXPECT_EQ(UniqueFileName(mail_dir + "spool/", ".out"), spool + "/B.out");
}

TEST_F(FileNamingTest, LowestFreeNameAfterRemovalsAndOutsideChanges) {
  std::string first = UniqueFileName(spool, ".new");
  ASSERT_TRUE(WriteNewFile(first, "x"));
  std::string second = UniqueFileName(spool, ".new");
  ASSERT_TRUE(WriteNewFile(second, "x"));
  EXPECT_EQ(second, spool + "/1.new");
  ASSERT_TRUE(RemoveFile(first));
  EXPECT_EQ(UniqueFileName(spool, ".new"), first) << "a freed name is the lowest again";
  WriteFile(first, "made behind the store's back");
  WriteFile(spool + "/2.NEW", "");
  EXPECT_EQ(UniqueFileName(spool, ".new"), spool + "/3.new");
  ::unlink((spool + "/1.new").c_str());
  EXPECT_EQ(UniqueFileName(spool, ".new"), spool + "/1.new");
}

TEST_F(FileNamingTest, MoveNumbersTakenTargets) {
  std::string inbox = mail_dir + "Inbox/";
  struct Row {
    const char* name;
    std::vector<std::string> taken;
    std::string expected;
  } rows[] = {
      {"free", {}, "X.mail"},
      {"taken", {"X.mail"}, "X 0.mail"},
      {"taken with space-zero", {"X.mail", "X 0.mail"}, "X0.mail"},
      {"case variants", {"x.MAIL", "x 0.Mail", "X0.mail"}, "X1.mail"},
      {"hex after nine", {"X.mail", "X 0.mail", "X0.mail", "X1.mail", "X2.mail", "X3.mail", "X4.mail", "X5.mail",
                          "X6.mail", "X7.mail", "X8.mail", "X9.mail"}, "XA.mail"},
      {"a folder of that name", {"X.mail/"}, "X 0.mail"},
  };
  int i = 0;
  for (const Row& row : rows) {
    std::string folder = inbox + std::to_string(i++) + "/";
    ASSERT_TRUE(MakeFolders(folder));
    for (const std::string& name : row.taken) {
      if (name.back() == '/')
        ASSERT_TRUE(MakeFolders(folder + name));
      else
        WriteFile(folder + name, "old");
    }
    WriteFile(spool + "/w", "new");
    std::string final_name;
    EXPECT_TRUE(MoveFileUnique(spool + "/w", folder + "X.mail", final_name)) << row.name;
    EXPECT_EQ(final_name, folder + row.expected) << row.name;
    EXPECT_EQ(ReadFile(folder + row.expected), "new") << row.name;
    for (const std::string& name : row.taken) {
      if (name.back() != '/') {
        EXPECT_EQ(ReadFile(folder + name), "old") << row.name << ": never overwritten";
      }
    }
  }
}

TEST_F(FileNamingTest, AFileAppearingDuringTheMoveIsNeverReplaced) {
  WriteFile(mail_dir + "Inbox/X.mail", "first");
  WriteFile(spool + "/w", "new");
  // While events are processed before each candidate, something else creates the very
  // name that is about to be tried next.
  int calls = 0;
  ui.on_events = [&] {
    ++calls;
    if (calls == 2) WriteFile(mail_dir + "Inbox/X 0.mail", "raced in");
    if (calls == 3) WriteFile(mail_dir + "Inbox/X0.mail", "raced in too");
  };
  std::string final_name;
  ASSERT_TRUE(MoveFileUnique(spool + "/w", mail_dir + "Inbox/X.mail", final_name));
  EXPECT_EQ(final_name, mail_dir + "Inbox/X1.mail");
  EXPECT_EQ(ReadFile(mail_dir + "Inbox/X 0.mail"), "raced in");
  EXPECT_EQ(ReadFile(mail_dir + "Inbox/X0.mail"), "raced in too");
  EXPECT_EQ(ReadFile(mail_dir + "Inbox/X1.mail"), "new");
}

TEST_F(FileNamingTest, MoveWithoutExtensionIntoAFolderThatDiffersInCase) {
  WriteFile(spool + "/w", "new");
  WriteFile(mail_dir + "Inbox/Name", "old");
  std::string final_name;
  ASSERT_TRUE(MoveFileUnique(mail_dir + "spool/W", mail_dir + "INBOX/Name", final_name));
  EXPECT_EQ(final_name, mail_dir + "Inbox/Name 0");
}

TEST_F(FileNamingTest, FailedMovesLeaveTheSourceAndReportNothing) {
  std::string final_name = "stale";
  EXPECT_FALSE(MoveFileUnique(spool + "/missing", mail_dir + "Inbox/X.mail", final_name));
  EXPECT_EQ(final_name, "");
  WriteFile(spool + "/w", "new");
  EXPECT_FALSE(MoveFileUnique(spool + "/w", mail_dir + "No Such Folder/X.mail", final_name));
  EXPECT_EQ(ReadFile(spool + "/w"), "new");
  EXPECT_TRUE(ui.boxes.empty());
}

TEST(FileNameCleaning, SanitizeReplacesInPlace) {
  std::string s = "a\\b/c:d*e?f\"g<h>i|j.k\x01\x7f\xe9 ~";
  SanitizeFileName(s);
  EXPECT_EQ(s, "a-b-c-d~e-f'g(h)i[j,k    ~");
  EXPECT_TRUE(IsBadFileName("my.book"));
  EXPECT_FALSE(IsBadFileName("My Book"));
  EXPECT_TRUE(IsBadFileName(std::string("a\0b", 3)));
  EXPECT_TRUE(IsBadFileName("caf\xe9"));
}

TEST(FileNameCleaning, ExtensionIsFromTheLastDotOfTheName) {
  EXPECT_EQ(FileExtension("/m/Inbox/a.b.Mail"), ".Mail");
  EXPECT_EQ(FileExtension("/m/a.d/name"), "");
  EXPECT_EQ(FileExtension("name."), ".");
  EXPECT_EQ(FileExtension(""), "");
}

}  // namespace
}  // namespace corvelle
