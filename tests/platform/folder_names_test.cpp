#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/paths.h"
#include "support/temp_dir.h"

namespace corvelle {
namespace {

using testing::TempDir;
using testing::WriteFile;

TEST(FolderNamesTest, FollowsOwnAndOutsideChanges) {
  TempDir dir;
  std::string folder = dir / "Spool";
  ASSERT_TRUE(MakeFolders(folder));
  EXPECT_FALSE(FolderHasNameIgnoringCase(folder, "a.new"));
  std::uint64_t generation = FolderNamesGeneration(folder);

  ASSERT_TRUE(WriteNewFile(folder + "/A.new", "x"));
  EXPECT_TRUE(FolderHasNameIgnoringCase(folder + "/", "a.NEW"));
  EXPECT_EQ(FolderNamesGeneration(folder), generation) << "an added name keeps what callers remembered";

  ASSERT_TRUE(ReplaceFileAtomically(folder + "/b", "y"));
  ASSERT_EQ(MoveNoReplace(folder + "/b", folder + "/C"), MoveResult::kMoved);
  EXPECT_FALSE(FolderHasNameIgnoringCase(folder, "b"));
  EXPECT_TRUE(FolderHasNameIgnoringCase(folder, "c"));
  EXPECT_NE(FolderNamesGeneration(folder), generation) << "a name left the folder";

  generation = FolderNamesGeneration(folder);
  WriteFile(folder + "/outside", "");
  EXPECT_TRUE(FolderHasNameIgnoringCase(folder, "OUTSIDE"));
  ASSERT_EQ(::unlink((folder + "/outside").c_str()), 0);
  EXPECT_FALSE(FolderHasNameIgnoringCase(folder, "outside"));
  EXPECT_NE(FolderNamesGeneration(folder), generation);
}

TEST(FolderNamesTest, CaseVariantsCountSeparately) {
  TempDir dir;
  std::string folder = dir / "f";
  ASSERT_TRUE(MakeFolders(folder));
  ASSERT_TRUE(WriteNewFile(folder + "/x", ""));
  ASSERT_TRUE(WriteNewFile(folder + "/X", ""));
  EXPECT_TRUE(FolderHasNameIgnoringCase(folder, "x"));
  ASSERT_TRUE(RemoveFile(folder + "/x"));
  EXPECT_TRUE(FolderHasNameIgnoringCase(folder, "x")) << "\"X\" is still there";
  ASSERT_TRUE(RemoveFile(folder + "/X"));
  EXPECT_FALSE(FolderHasNameIgnoringCase(folder, "x"));
  EXPECT_FALSE(RemoveFile(folder + "/X"));
  ASSERT_TRUE(MakeFolders(folder + "/sub"));
  EXPECT_FALSE(RemoveFile(folder + "/sub")) << "folders are not files";
}

TEST(FolderNamesTest, MissingFoldersHoldNothing) {
  TempDir dir;
  EXPECT_FALSE(FolderHasNameIgnoringCase(dir / "missing", "x"));
  EXPECT_EQ(FolderNamesGeneration(dir / "missing"), 0u);
  ASSERT_TRUE(MakeFolders(dir / "gone"));
  WriteFile(dir / "gone/x", "");
  EXPECT_TRUE(FolderHasNameIgnoringCase(dir / "gone", "x"));
  ASSERT_EQ(::unlink((dir / "gone/x").c_str()), 0);
  ASSERT_EQ(::rmdir((dir / "gone").c_str()), 0);
  EXPECT_FALSE(FolderHasNameIgnoringCase(dir / "gone", "x"));
  EXPECT_TRUE(EntryExists(dir.path()));
  EXPECT_FALSE(EntryExists(dir / "GONE"));
  FileIdentity a, b;
  ASSERT_TRUE(GetFileIdentity(dir.path(), a));
  ASSERT_TRUE(GetFileIdentity(dir.path() + ".", b));
  EXPECT_EQ(a, b);
  EXPECT_FALSE(GetFileIdentity(dir / "gone", b));
}

}  // namespace
}  // namespace corvelle
