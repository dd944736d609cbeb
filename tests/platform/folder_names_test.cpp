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
  ASSERT_TRUE(WriteNewFile(folder + "/a.NEW", "x"));
  EXPECT_TRUE(FolderHasNameIgnoringCase(folder + "/", "a.new"));
  EXPECT_EQ(FolderNamesGeneration(folder), generation) << "added names keep what callers remembered";
  ASSERT_TRUE(RemoveFile(folder + "/a.NEW"));
  EXPECT_TRUE(FolderHasNameIgnoringCase(folder, "a.new")) << "\"A.new\" is still there";
  EXPECT_NE(FolderNamesGeneration(folder), generation) << "a name left the folder";

  ASSERT_TRUE(ReplaceFileAtomically(folder + "/b", "y"));
  ASSERT_EQ(MoveNoReplace(folder + "/b", folder + "/C"), MoveResult::kMoved);
  EXPECT_FALSE(FolderHasNameIgnoringCase(folder, "b"));
  std::uint64_t seen = 0;
  EXPECT_EQ(FirstFreeIndexedName(folder, 0, 10, [](std::uint64_t n) { return n ? "c" : "A.NEW"; }, seen), 10u);
  EXPECT_EQ(seen, FolderNamesGeneration(folder));

  WriteFile(folder + "/outside", "");
  EXPECT_TRUE(FolderHasNameIgnoringCase(folder, "OUTSIDE"));
  ASSERT_EQ(::unlink((folder + "/outside").c_str()), 0);
  EXPECT_FALSE(FolderHasNameIgnoringCase(folder, "outside"));
  EXPECT_FALSE(RemoveFile(folder + "/outside"));
  ASSERT_TRUE(MakeFolders(folder + "/sub"));
  EXPECT_FALSE(RemoveFile(folder + "/sub")) << "folders are not files";
  EXPECT_FALSE(FolderHasNameIgnoringCase(dir / "missing", "x"));
}

}  // namespace
}  // namespace corvelle
