#include "core/folder_files.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include "core/settings.h"
#include "platform/paths.h"
#include "support/mail_fixture.h"

namespace corvelle {
namespace {

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
  ListFolderFiles(folder, list);
  EXPECT_EQ(list, (Names{"a.mail", "B.mail", "b.mail", "C.mail", "c.mail", "z.txt"}));
  ListFolderFiles(mail_dir + "INBOX/", list);
  EXPECT_EQ(list.size(), 6u) << "listing again adds nothing";
  ListFolderFiles(mail_dir + "Missing", list);
  EXPECT_EQ(list.size(), 6u);
}

TEST_F(FolderFilesTest, TreeLeavesOutSpoolAtAnyDepth) {
  for (const char* folder : {"Spool", "spool2", "Inbox/Old", "Inbox/SPOOL", "archive/b", "archive/A"})
    ASSERT_TRUE(MakeFolders(mail_dir + folder));
  WriteFile(mail_dir + "Inbox/file.mail", "");
  FolderNode root{"stale", {{"old", {}}}};
  EXPECT_EQ(FillFolderTree(root), 3);
  EXPECT_EQ(Shape(root), mail_dir + "(archive(A,b),Inbox(Old),spool2)");
}

TEST_F(FolderFilesTest, TreeSurvivesASymbolicLinkLoop) {
  ASSERT_TRUE(MakeFolders(mail_dir + "Inbox"));
  ASSERT_EQ(::symlink(mail_dir.c_str(), (mail_dir + "Inbox/Loop").c_str()), 0);
  ASSERT_EQ(::symlink((mail_dir + "Inbox").c_str(), (mail_dir + "Linked").c_str()), 0);
  FolderNode root;
  EXPECT_EQ(FillFolderTree(root), 2);
  EXPECT_EQ(Shape(root), mail_dir + "(Inbox,Linked)") << "neither link leads back into its own ancestors";
}

TEST_F(FolderFilesTest, NamesAsStored) {
  WriteFile(mail_dir + "Inbox/Mixed Case.mail", "");
  EXPECT_EQ(ShortFileName(mail_dir + "Inbox/Mixed Case.mail"), mail_dir + "Inbox/Mixed Case.mail");
  EXPECT_EQ(ShortFileName(mail_dir + "Inbox/missing.mail"), "");
  EXPECT_EQ(LongFileName(mail_dir + "Inbox/MIXED CASE.MAIL"), mail_dir + "Inbox/Mixed Case.mail");
  EXPECT_EQ(LongFileName(mail_dir + "inbox/mixed case.mail"), mail_dir + "inbox/Mixed Case.mail");
  EXPECT_EQ(LongFileName(mail_dir + "Inbox/missing"), "");
  EXPECT_EQ(LongPathName(mail_dir + "inbox/mixed case.mail"), mail_dir + "Inbox/Mixed Case.mail");
  EXPECT_EQ(LongPathName(mail_dir + "nowhere/mixed case.mail"), "");
  EXPECT_EQ(LongPathName("relative"), "");
}

TEST_F(FolderFilesTest, DeleteAsksFirst) {
  std::string file = mail_dir + "Inbox/a.mail";
  WriteFile(file, "");
  ui.Script({Answer::No, Answer::Yes});
  EXPECT_FALSE(ConfirmDeleteFile(file));
  EXPECT_TRUE(PathExists(file));
  EXPECT_TRUE(ConfirmDeleteFile(file));
  EXPECT_FALSE(PathExists(file));
  ASSERT_EQ(ui.boxes.size(), 2u);
  EXPECT_EQ(ui.boxes[0].text, "Are you sure you want to delete " + file + "?");
  EXPECT_EQ(ui.boxes[0].caption, "Delete mail warning");
  EXPECT_EQ(ui.boxes[0].buttons, Buttons::YesNo);
  EXPECT_EQ(ui.boxes[0].icon, MessageIcon::None);
  EXPECT_FALSE(ConfirmDeleteFile(file)) << "nothing left to delete";

  WriteFile(file, "");
  SetUi(nullptr);  // nobody to ask: nothing is deleted
  EXPECT_FALSE(ConfirmDeleteFile(file));
  EXPECT_TRUE(PathExists(file));
}

}  // namespace
}  // namespace corvelle
