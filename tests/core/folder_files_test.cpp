#include "core/store/folder_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "core/store/mail_dirs.h"
#include "core/store/mail_store.h"
#include "core/settings/settings.h"
#include "platform/paths.h"
#include "support/mail_fixture.h"
#include "support/test_settings.h"

namespace corvelle {
namespace {

using testing::ListNames;
using testing::WriteFile;
using Names = std::vector<std::string>;

class FolderFilesTest : public testing::MailFixture {};

// "name(child,child)" for a compact comparison of trees.
std::string Shape(const FolderNode& node) {
  std::string out = node.name;
  if (node.children.empty()) return out;
  out += '(';
  for (size_t i = 0; i < node.children.size(); ++i) out += (i ? "," : "") + Shape(node.children[i]);
  return out + ')';
}

TEST_F(FolderFilesTest, ListKeepsCaseVariantsAndDropsExactDuplicates) {
  std::string folder = mail_dir + "Inbox";
  for (const char* name : {"b.mail", "B.mail", "a.mail", "C.mail", "c.mail"}) WriteFile(folder + "/" + name, "");
  ASSERT_TRUE(MakeFolders(folder + "/Sub.mail"));
  Names list = {"z.txt", "a.mail"};
  ListFolderFiles(ui, folder, list);
  EXPECT_EQ(list, (Names{"a.mail", "B.mail", "b.mail", "C.mail", "c.mail", "z.txt"}));
  ListFolderFiles(ui, mail_dir + "INBOX/", list);
  ListFolderFiles(ui, mail_dir + "Missing", list);
  EXPECT_EQ(list.size(), 6u) << "listing again adds nothing";
}

// Sorted in memory or merged from runs in temporary files, the names come in the list's order.
TEST_F(FolderFilesTest, SortedStreamGivesTheListOrderWhateverItsMemory) {
  std::string folder = mail_dir + "Inbox";
  for (int i = 0; i < 40; ++i) WriteFile(folder + "/" + std::string(1, "bBaCc"[i % 5]) + std::to_string(i * 7 % 40), "");
  ASSERT_TRUE(MakeFolders(folder + "/Sub"));
  Names list;
  ListFolderFiles(ui, folder, list);
  for (size_t in_memory : {1, 3, 40, 1000}) {
    SortedFolderFiles files(ui, folder, in_memory);
    Names streamed;
    for (std::string name; files.Next(name);) streamed.push_back(name);
    EXPECT_FALSE(files.Failed());
    EXPECT_EQ(files.Count(), 40u);
    EXPECT_EQ(streamed, list) << in_memory;
  }
}

TEST_F(FolderFilesTest, TreeLeavesOutSpoolAtAnyDepthAndSurvivesLinkLoops) {
  for (const char* folder : {"Spool", "spool2", "Inbox/Old", "Inbox/SPOOL", "archive/b", "archive/A"})
    ASSERT_TRUE(MakeFolders(mail_dir + folder));
  WriteFile(mail_dir + "Inbox/file.mail", "");
  ASSERT_EQ(::symlink(mail_dir.c_str(), (mail_dir + "Inbox/Old/Loop").c_str()), 0);
  ASSERT_EQ(::symlink((mail_dir + "archive").c_str(), (mail_dir + "Linked").c_str()), 0);
  FolderNode root{"stale", {{"old", {}}}};
  EXPECT_EQ(Store().FillFolderTree(root), 4);
  EXPECT_EQ(Shape(root), mail_dir + "(archive(A,b),Inbox(Old),Linked(A,b),spool2)")
      << "no link leads back into its own ancestors";
}

TEST_F(FolderFilesTest, NamesAsStored) {
  WriteFile(mail_dir + "Inbox/Mixed Case.mail", "");
  EXPECT_EQ(ShortFileName(mail_dir + "Inbox/Mixed Case.mail"), mail_dir + "Inbox/Mixed Case.mail");
  EXPECT_EQ(LongFileName(mail_dir + "Inbox/MIXED CASE.MAIL"), mail_dir + "Inbox/Mixed Case.mail");
  EXPECT_EQ(LongFileName(mail_dir + "inbox/mixed case.mail"), mail_dir + "inbox/Mixed Case.mail");
  EXPECT_EQ(LongPathName(mail_dir + "inbox/mixed case.mail"), mail_dir + "Inbox/Mixed Case.mail");
  EXPECT_EQ(ShortFileName(mail_dir + "Inbox/missing.mail") + LongFileName(mail_dir + "Inbox/missing") +
                LongPathName(mail_dir + "nowhere/mixed case.mail") + LongPathName("relative"),
            "");
}

TEST_F(FolderFilesTest, DeleteAsksFirst) {
  std::string file = mail_dir + "Inbox/a.mail";
  WriteFile(file, "");
  ui.Script({Answer::No, Answer::Yes});
  EXPECT_FALSE(ConfirmDeleteFile(ui, file) || !PathExists(file));
  EXPECT_TRUE(ConfirmDeleteFile(ui, file) && !PathExists(file));
  EXPECT_EQ(ui.Texts().at(1), "Are you sure you want to delete " + file + "?");
  EXPECT_FALSE(ConfirmDeleteFile(ui, file)) << "nothing left to delete";
  WriteFile(file, "");
  SilentUserInterface nobody;  // nobody to ask: nothing is deleted
  EXPECT_FALSE(ConfirmDeleteFile(nobody, file) || !PathExists(file));
}

// The mail directory tree.
class MailDirsTest : public testing::MailFixture {};

// Folders that exist under another letter case are used as they are.
TEST_F(MailDirsTest, MakesTheWholeTreePrivate) {
  mode_t old_mask = ::umask(022);
  ASSERT_TRUE(MakeFolders(mail_dir + "spool") && MakeFolders(mail_dir + "SYSTEM/signatures"));
  ASSERT_TRUE(Store().CheckMailDirs(MailSettings.DefaultMailFolder, true, true, true));
  ::umask(old_mask);
  EXPECT_EQ(ListNames(mail_dir), (Names{"Inbox", "Mailing Lists", "Organizations", "People", "Postponed",
                                        "SYSTEM", "Sent Mail", "Subjects", "spool"}));
  EXPECT_EQ(ListNames(mail_dir + "SYSTEM"), (Names{"AddressBook", "Common Text", "signatures"}));
  for (const std::string& folder : {mail_dir, mail_dir + "Inbox", mail_dir + "SYSTEM/Common Text"}) {
    struct stat st {};
    EXPECT_TRUE(::stat(folder.c_str(), &st) == 0 && (st.st_mode & 0777) == 0700) << folder;
  }
  EXPECT_TRUE(Store().CheckMailDirs(MailSettings.DefaultMailFolder, false, false, false));
}

TEST_F(MailDirsTest, ForcedCreateMakesMissingFoldersAndRuleFolders) {
  MakeTree();
  WriteFile(IniPath(), "[filters]\n1.FolderText=\"Never\"\n");
  EXPECT_TRUE(Store().CheckMailDirs(MailSettings.DefaultMailFolder, false, true, false));
  EXPECT_FALSE(PathExists(mail_dir + "Never")) << "a complete tree does not read the filters";
  ASSERT_EQ(::rmdir((mail_dir + "Spool").c_str()), 0);
  EXPECT_FALSE(Store().CheckMailDirs(MailSettings.DefaultMailFolder, false, false, false) ||
               PathExists(mail_dir + "Spool"))
      << "nothing made";
  WriteFile(IniPath(),
            "[filters]\n1.1.HeaderLine=From\n1.1.SearchText=x\n1.FolderText=\"Work\",\"Archive/2026\"\n"
            "2.folderTEXT=\"" + home.path() + "Elsewhere\"\n");
  ASSERT_TRUE(Store().CheckMailDirs(MailSettings.DefaultMailFolder, true, true, false));
  for (const std::string& folder : {mail_dir + "Spool", mail_dir + "Work", mail_dir + "Archive/2026",
                                    home.path() + "Elsewhere"})
    EXPECT_TRUE(FolderExists(folder)) << folder;
  EXPECT_FALSE(PathExists(mail_dir + "People"));
}

TEST_F(MailDirsTest, StopsAtTheFirstFolderThatCannotBeMade) {
  WriteFile(mail_dir + "System", "a file where a folder belongs");
  WriteFile(IniPath(), "[filters]\n1.FolderText=\"Work\"\n");
  EXPECT_FALSE(Store().CheckMailDirs(MailSettings.DefaultMailFolder, true, true, false));
  EXPECT_TRUE(FolderExists(mail_dir + "Spool")) << "made before it";
  EXPECT_FALSE(PathExists(mail_dir + "Work")) << "nothing after it";
}

}  // namespace
}  // namespace corvelle
