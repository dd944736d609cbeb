#include "core/store/file_naming.h"

#include <gtest/gtest.h>

#include "core/settings/settings.h"
#include "platform/paths.h"
#include "support/mail_fixture.h"

namespace corvelle {
namespace {

using testing::ReadFile;
using testing::WriteFile;

class FileNamingTest : public testing::MailFixture {
 protected:
  void SetUp() override { MakeTree(); }
  std::string spool = mail_dir + "Spool";
};

TEST_F(FileNamingTest, CounterNamesRunInUpperCaseHexAndCaseVariantsAreTaken) {
  WriteFile(spool + "/0.OUT", "");
  for (int i = 1; i < 10; ++i) WriteFile(spool + "/" + std::to_string(i) + ".out", "");
  EXPECT_EQ(UniqueFileName(mail_dir + "spool//", ".out") + Store().SpoolFileName(),
            spool + "/A.out" + spool + "/A.out");
  for (char c = 'a'; c <= 'f'; ++c) WriteFile(spool + "/" + c + ".out", "");
  EXPECT_EQ(UniqueFileName(spool, ".out"), spool + "/10.out");
  EXPECT_EQ(UniqueFileName(spool, ""), spool + "/0") << "each extension counts on its own";
}

TEST_F(FileNamingTest, LowestFreeNameAfterRemovalsAndOutsideChanges) {
  std::string first = UniqueFileName(spool, ".new"), second;
  ASSERT_TRUE(WriteNewFile(first, "x") && WriteNewFile(second = UniqueFileName(spool, ".new"), "x"));
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
  struct Row { const char* name; std::vector<std::string> taken; std::string target, expected; } rows[] = {
      {"free", {}, "X.mail", "X.mail"},
      {"taken", {"X.mail"}, "X.mail", "X 0.mail"},
      {"taken with space-zero", {"X.mail", "X 0.mail"}, "X.mail", "X0.mail"},
      {"case variants", {"x.MAIL", "x 0.Mail", "X0.mail"}, "X.mail", "X1.mail"},
      {"hex after nine", {"X.mail", "X 0.mail", "X0.mail", "X1.mail", "X2.mail", "X3.mail", "X4.mail", "X5.mail",
                          "X6.mail", "X7.mail", "X8.mail", "X9.mail"}, "X.mail", "XA.mail"},
      {"a folder of that name", {"X.mail/"}, "X.mail", "X 0.mail"},  // "/" at the end: a folder
      {"no extension", {"Name"}, "NAME", "NAME 0"},
  };
  int i = 0;
  for (const Row& row : rows) {
    std::string number = std::to_string(i++) + "/", folder = mail_dir + "Inbox/" + number;
    ASSERT_TRUE(MakeFolders(folder));
    for (const std::string& name : row.taken)
      name.back() == '/' ? (void)MakeFolders(folder + name) : WriteFile(folder + name, "old");
    WriteFile(spool + "/w", "new");
    std::string final_name;
    EXPECT_TRUE(MoveFileUnique(ui, mail_dir + "spool/W", mail_dir + "INBOX/" + number + row.target, final_name));
    EXPECT_EQ(final_name + ReadFile(folder + row.expected), folder + row.expected + "new") << row.name;
    for (const std::string& name : row.taken)
      EXPECT_EQ(name.back() == '/' ? "old" : ReadFile(folder + name), "old") << row.name << ": never overwritten";
  }
}

TEST_F(FileNamingTest, AFileAppearingDuringTheMoveIsNeverReplaced) {
  WriteFile(mail_dir + "Inbox/X.mail", "first");
  WriteFile(spool + "/w", "new");
  // While events are processed before each candidate, something else creates the very
  // name that is about to be tried next.
  int calls = 0;
  ui.on_events = [&] {
    if (++calls == 2 || calls == 3) WriteFile(mail_dir + (calls == 2 ? "Inbox/X 0.mail" : "Inbox/X0.mail"), "raced in");
  };
  std::string final_name;
  ASSERT_TRUE(MoveFileUnique(ui, spool + "/w", mail_dir + "Inbox/X.mail", final_name));
  EXPECT_EQ(final_name, mail_dir + "Inbox/X1.mail");
  EXPECT_EQ(ReadFile(mail_dir + "Inbox/X 0.mail") + ReadFile(mail_dir + "Inbox/X0.mail"), "raced inraced in");
  EXPECT_EQ(ReadFile(mail_dir + "Inbox/X1.mail"), "new");
}

TEST_F(FileNamingTest, FailedMovesLeaveTheSourceAndReportNothing) {
  std::string final_name = "stale";
  EXPECT_FALSE(MoveFileUnique(ui, spool + "/missing", mail_dir + "Inbox/X.mail", final_name) || !final_name.empty());
  WriteFile(spool + "/w", "new");
  EXPECT_FALSE(MoveFileUnique(ui, spool + "/w", mail_dir + "No Such Folder/X.mail", final_name));
  EXPECT_EQ(ReadFile(spool + "/w"), "new");
  EXPECT_TRUE(ui.boxes.empty());
}

TEST(FileNameCleaning, BadNamesAndExtensions) {
  EXPECT_TRUE(IsBadFileName("my.book") && IsBadFileName(std::string("a\0b", 3)));
  EXPECT_FALSE(IsBadFileName("My Book"));
  EXPECT_EQ(FileExtension("/m/Inbox/a.b.Mail") + FileExtension("/m/a.d/name") + FileExtension("name."), ".Mail.");
}

}  // namespace
}  // namespace corvelle
