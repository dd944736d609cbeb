#include "core/mail_dirs.h"

#include <gtest/gtest.h>

#include "core/settings.h"
#include "platform/paths.h"
#include "support/mail_fixture.h"

namespace corvelle {
namespace {

using testing::ListNames;
using testing::WriteFile;

class MailDirsTest : public testing::MailFixture {};

TEST_F(MailDirsTest, MakesTheWholeTreeWithSamples) {
  ASSERT_TRUE(CheckMailDirs(true, true, true));
  EXPECT_EQ(ListNames(mail_dir), (std::vector<std::string>{"Inbox", "Mailing Lists", "Organizations", "People",
                                                           "Postponed", "Sent Mail", "Spool", "Subjects", "System"}));
  EXPECT_EQ(ListNames(mail_dir + "System"),
            (std::vector<std::string>{"AddressBook", "Common Text", "Signatures"}));
  EXPECT_TRUE(CheckMailDirs(false, false, false));
}

TEST_F(MailDirsTest, CompleteTreeDoesNotReadFilters) {
  MakeTree();
  WriteFile(IniPath(), "[filters]\n1.FolderText=\"Never\"\n");
  EXPECT_TRUE(CheckMailDirs(false, true, false));
  EXPECT_FALSE(PathExists(mail_dir + "Never"));
}

TEST_F(MailDirsTest, ForcedCreateMakesMissingFoldersAndRuleFolders) {
  MakeTree();
  ASSERT_EQ(::rmdir((mail_dir + "Spool").c_str()), 0);
  EXPECT_FALSE(CheckMailDirs(false, false, false));
  EXPECT_FALSE(PathExists(mail_dir + "Spool")) << "nothing made without create";
  WriteFile(IniPath(),
            "[filters]\n1.1.HeaderLine=From\n1.1.SearchText=x\n1.FolderText=\"Work\",\"Archive/2026\"\n"
            "2.folderTEXT=\"" + home.path() + "Elsewhere\"\n");
  ASSERT_TRUE(CheckMailDirs(true, true, false));
  EXPECT_TRUE(FolderExists(mail_dir + "Spool"));
  EXPECT_TRUE(FolderExists(mail_dir + "Work"));
  EXPECT_TRUE(FolderExists(mail_dir + "Archive/2026"));
  EXPECT_TRUE(FolderExists(home.path() + "Elsewhere"));
  EXPECT_FALSE(PathExists(mail_dir + "People"));
}

TEST_F(MailDirsTest, FoldersMatchIgnoringCase) {
  ASSERT_TRUE(MakeFolders(mail_dir + "spool"));
  ASSERT_TRUE(MakeFolders(mail_dir + "SYSTEM/signatures"));
  MakeTree();
  EXPECT_EQ(ListNames(mail_dir),
            (std::vector<std::string>{"Inbox", "Postponed", "SYSTEM", "Sent Mail", "spool"}));
  EXPECT_TRUE(CheckMailDirs(false, false, false));
}

TEST_F(MailDirsTest, StopsAtTheFirstFolderThatCannotBeMade) {
  ASSERT_TRUE(MakeFolders(mail_dir));
  WriteFile(mail_dir + "Postponed", "a file in the way");
  WriteFile(mail_dir + "Sent Mail", "so is this");
  ASSERT_TRUE(MakeFolders(mail_dir + "Spool"));  // "Spool" made; the file blocks nothing else
  WriteFile(mail_dir + "System", "blocks System/...");
  EXPECT_FALSE(CheckMailDirs(true, true, false));
  EXPECT_TRUE(FolderExists(mail_dir + "Inbox"));
}

}  // namespace
}  // namespace corvelle
