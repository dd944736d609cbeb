#include "platform/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace corvelle {
namespace {

using testing::ListNames;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(PathsTest, ComponentsResolveIgnoringCase) {
  TempDir dir;
  ASSERT_TRUE(MakeFolders(dir / "Mail/Spool"));
  WriteFile(dir / "Mail/Spool/A.new", "x");
  EXPECT_EQ(ResolvePath(dir / "mail/spool/a.NEW"), dir / "Mail/Spool/A.new");
  EXPECT_EQ(ResolvePath(dir / "MAIL/SPOOL/"), dir / "Mail/Spool/");
  EXPECT_EQ(ResolvePath(dir / "mail//spool"), dir / "Mail/Spool");
  // A missing component and everything below it stay as given: it is the name to create.
  EXPECT_EQ(ResolvePath(dir / "mail/New Folder/Sub"), dir / "Mail/New Folder/Sub");
  EXPECT_TRUE(PathExists(dir / "mail/spool"));
  EXPECT_TRUE(FolderExists(dir / "MAIL/spool/"));
  EXPECT_FALSE(FileExists(dir / "MAIL/spool/"));
  EXPECT_TRUE(FileExists(dir / "mail/SPOOL/a.new"));
  EXPECT_FALSE(PathExists(dir / "mail/spool/b.new"));
  EXPECT_FALSE(PathExists(""));
  WriteFile(dir / "Name", "upper");
  WriteFile(dir / "name", "lower");
  EXPECT_EQ(ResolvePath(dir / "name"), dir / "name") << "the exact name wins";
  EXPECT_EQ(ResolvePath(dir / "NAME"), dir / "Name") << "first stored match in byte order";
}

TEST(PathsTest, MakeFoldersReusesFoldersThatDifferInCase) {
  TempDir dir;
  ASSERT_TRUE(MakeFolders(dir / "Mail/System"));
  ASSERT_TRUE(MakeFolders(dir / "mail/system/Common Text/"));
  EXPECT_EQ(ListNames(dir.path()), std::vector<std::string>{"Mail"});
  EXPECT_EQ(ListNames(dir / "Mail/System"), std::vector<std::string>{"Common Text"});
  WriteFile(dir / "file", "");
  EXPECT_FALSE(MakeFolders(dir / "file/sub"));
}

TEST(PathsTest, MoveNeverReplacesAFile) {
  TempDir dir;
  WriteFile(dir / "a", "first");
  WriteFile(dir / "b", "second");
  EXPECT_EQ(MoveNoReplace(dir / "a", dir / "b"), MoveResult::kTargetExists);
  EXPECT_EQ(ReadFile(dir / "a"), "first");
  EXPECT_EQ(ReadFile(dir / "b"), "second");
  EXPECT_EQ(MoveNoReplace(dir / "a", dir / "c"), MoveResult::kMoved);
  EXPECT_EQ(ReadFile(dir / "c"), "first");
  EXPECT_EQ(MoveNoReplace(dir / "a", dir / "d"), MoveResult::kFailed) << "source gone";
  EXPECT_EQ(MoveNoReplace(dir / "c", dir / "missing/d"), MoveResult::kFailed);
  EXPECT_EQ(ReadFile(dir / "c"), "first");
}

TEST(PathsTest, MoveAcrossFileSystemsCopiesThenUnlinks) {
  // /dev/shm is a tmpfs on Debian; skip where the temp folder is on the same device.
  struct stat shm {}, tmp {};
  TempDir dir;
  if (::stat("/dev/shm", &shm) != 0 || ::stat(dir.path().c_str(), &tmp) != 0 || shm.st_dev == tmp.st_dev)
    GTEST_SKIP() << "no second file system";
  std::string other = "/dev/shm/corvelle-move-test-" + std::to_string(::getpid());
  std::string bytes("a\0b\r\n\xff", 6);
  WriteFile(dir / "m", bytes);
  WriteFile(other, "taken");
  EXPECT_EQ(MoveNoReplace(dir / "m", other), MoveResult::kTargetExists);
  EXPECT_EQ(ReadFile(dir / "m"), bytes);
  ::unlink(other.c_str());
  EXPECT_EQ(MoveNoReplace(dir / "m", other), MoveResult::kMoved);
  EXPECT_EQ(ReadFile(other), bytes);
  EXPECT_FALSE(PathExists(dir / "m"));
  ::unlink(other.c_str());
  for (const FolderEntry& entry : ReadFolder("/dev/shm"))
    EXPECT_EQ(entry.name.find("corvelle-move-test-" + std::to_string(::getpid()) + "."), std::string::npos)
        << "no work file left beside the target";
}

TEST(PathsTest, WholeFilesReadAndNewFilesAreNeverOverwritten) {
  TempDir dir;
  EXPECT_TRUE(WriteNewFile(dir / "n", std::string("x\0y", 3)));
  EXPECT_FALSE(WriteNewFile(dir / "n", "other"));
  EXPECT_EQ(ListNames(dir.path()), std::vector<std::string>{"n"}) << "no work file left behind";
  std::string data = "keep";
  EXPECT_TRUE(ReadWholeFile(dir / "N", data)) << "read ignoring case";
  EXPECT_EQ(data, std::string("x\0y", 3));
  EXPECT_FALSE(ReadWholeFile(dir.path(), data));
  EXPECT_TRUE(data.empty());
  EXPECT_FALSE(ReadWholeFile(dir / "none", data));
}

TEST(PathsTest, OnlyRegularFilesAreReadOrListedAsFiles) {
  TempDir dir;
  ASSERT_EQ(::mkfifo((dir / "pipe.out").c_str(), 0600), 0);
  std::string data;
  EXPECT_FALSE(ReadWholeFile(dir / "pipe.out", data)) << "returns at once instead of waiting for a writer";
  EXPECT_FALSE(ReadWholeFile("/dev/zero", data));
  WriteFile(dir / "file.out", "x");
  for (const FolderEntry& entry : ReadFolder(dir.path()))
    EXPECT_EQ(entry.is_file, entry.name == "file.out") << entry.name;
}

TEST(PathsTest, NamePartsAndAsciiOnlyCaseFolding) {
  EXPECT_EQ(FolderPart("/a/b/c.mail"), "/a/b/");
  EXPECT_EQ(NamePart("/a/b/c.mail"), "c.mail");
  EXPECT_EQ(FolderPart("c.mail"), "");
  EXPECT_EQ(NamePart("/a/b/"), "");
  EXPECT_TRUE(SameNameIgnoringCase("Spool", "sPOOL"));
  EXPECT_FALSE(SameNameIgnoringCase("\xc4", "\xe4"));
  EXPECT_TRUE(LessIgnoringCase("apple", "Banana"));
  EXPECT_FALSE(LessIgnoringCase("B", "b"));
  EXPECT_TRUE(LessIgnoringCase("Name", "Name0"));
}

// The folder name index: it follows this process's own changes and everyone else's.
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
