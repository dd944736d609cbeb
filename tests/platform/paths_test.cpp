#include "platform/paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/folder_names.h"
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
  EXPECT_EQ(ResolvePath(dir / "MAIL//SPOOL/"), dir / "Mail/Spool/");
  // A missing component and everything below it stay as given: it is the name to create.
  EXPECT_EQ(ResolvePath(dir / "mail/New Folder/Sub"), dir / "Mail/New Folder/Sub");
  EXPECT_TRUE(FolderExists(dir / "MAIL/spool/") && FileExists(dir / "mail/SPOOL/a.new"));
  EXPECT_FALSE(FileExists(dir / "MAIL/spool/"));
  EXPECT_FALSE(PathExists(dir / "mail/spool/b.new") || PathExists(""));
  WriteFile(dir / "Name", "upper");
  WriteFile(dir / "name", "lower");
  EXPECT_EQ(ResolvePath(dir / "name"), dir / "name") << "the exact name wins";
  EXPECT_EQ(ResolvePath(dir / "NAME"), dir / "Name") << "first stored match in byte order";
  EXPECT_EQ(FolderPart("/a/b/c.mail") + "|" + NamePart("/a/b/c.mail") + "|" + NamePart("/a/b/"), "/a/b/|c.mail|");
  EXPECT_FALSE(SameNameIgnoringCase("\xc4", "\xe4")) << "ASCII letters only";
  ASSERT_TRUE(MakeFolders(dir / "mail/SPOOL/Sub/"));
  EXPECT_EQ(ListNames(dir / "Mail/Spool"), (std::vector<std::string>{"A.new", "Sub"})) << "case variants reused";
  EXPECT_FALSE(MakeFolders(dir / "Name/sub"));
}

// Moves, within one file system and as copies across two.
TEST(PathsTest, MoveNeverReplacesAFile) {
  TempDir dir;
  for (bool cross_device : {false, true}) {
    SetPathFaultsForTest({cross_device, ""});
    ::unlink((dir / "c").c_str());
    WriteFile(dir / "a", "first");
    WriteFile(dir / "b", "second");
    EXPECT_EQ(MoveNoReplace(dir / "a", dir / "b"), MoveResult::kTargetExists);
    EXPECT_EQ(ReadFile(dir / "a") + ReadFile(dir / "b"), "firstsecond");
    EXPECT_EQ(MoveNoReplace(dir / "a", dir / "c"), MoveResult::kMoved);
    EXPECT_EQ(ReadFile(dir / "a") + ReadFile(dir / "c"), "<missing>first");
    EXPECT_EQ(MoveNoReplace(dir / "a", dir / "d"), MoveNoReplace(dir / "c", dir / "missing/d"));
    EXPECT_EQ(MoveNoReplace(dir / "a", dir / "d"), MoveResult::kFailed) << "source or folder gone";
    EXPECT_EQ(ListNames(dir.path()), (std::vector<std::string>{"b", "c"})) << "no work file left";
    ASSERT_TRUE(RemoveFile(dir / "b"));
  }
  // A copy whose folder cannot be flushed is not a move: one copy stays, and the answer says so.
  ASSERT_TRUE(MakeFolders(dir / "to"));
  SetPathFaultsForTest({true, dir / "to"});
  EXPECT_EQ(MoveNoReplace(dir / "c", dir / "to/c"), MoveResult::kFailed);
  SetPathFaultsForTest({});
  EXPECT_EQ(ReadFile(dir / "c") + ReadFile(dir / "to/c"), "first<missing>");
  EXPECT_EQ(ListNames(dir / "to"), std::vector<std::string>{});
}

TEST(PathsTest, ReadsWholeRegularFilesAndNeverOverwritesNewOnes) {
  TempDir dir;
  EXPECT_TRUE(WriteNewFile(dir / "n", std::string("x\0y", 3)));
  EXPECT_FALSE(WriteNewFile(dir / "n", "other"));
  EXPECT_EQ(ListNames(dir.path()), std::vector<std::string>{"n"}) << "no work file left behind";
  std::string data = "keep";
  EXPECT_TRUE(ReadWholeFile(dir / "N", data) && data == std::string("x\0y", 3)) << "read ignoring case";
  ASSERT_EQ(::mkfifo((dir / "pipe.out").c_str(), 0600), 0);
  for (std::string path : {dir.path(), dir / "none", dir / "pipe.out", std::string("/dev/zero")})
    EXPECT_FALSE(ReadWholeFile(path, data) || !data.empty()) << path << ": no wait for a writer, no endless read";
  for (const FolderEntry& entry : ReadFolder(dir.path())) EXPECT_EQ(entry.is_file, entry.name == "n") << entry.name;
}

// The folder name index: names that differ only in case count once each; a name leaving
// the folder changes its generation, a name arriving does not.
TEST(FolderNamesTest, CountsCaseVariantsAndTellsWhenNamesLeave) {
  TempDir dir;
  std::string folder = dir / "Spool";
  ASSERT_TRUE(MakeFolders(folder));
  std::uint64_t generation = FolderNamesGeneration(folder);
  ASSERT_TRUE(WriteNewFile(folder + "/A.new", "x") && WriteNewFile(folder + "/a.NEW", "x"));
  EXPECT_EQ(FolderNamesGeneration(folder + "/"), generation) << "added names keep what callers remembered";
  ASSERT_TRUE(RemoveFile(folder + "/a.NEW"));
  EXPECT_TRUE(FolderHasNameIgnoringCase(folder, "a.new")) << "\"A.new\" is still there";
  EXPECT_NE(FolderNamesGeneration(folder), generation) << "a name left the folder";
  EXPECT_FALSE(RemoveFile(folder) || FolderHasNameIgnoringCase(dir / "missing", "x"));
}

// Two changes within one clock tick leave a folder the same time. A name that another
// program makes then is still seen, whether the kernel watches the folder or not.
TEST(FolderNamesTest, SeesNamesMadeWithinOneClockTick) {
  auto name_of = [](std::uint64_t n) { return std::to_string(n) + ".new"; };
  for (bool watched : {true, false}) {
    SetFolderWatchesForTest(watched);
    TempDir dir;
    std::string folder = dir / "Spool";
    ASSERT_TRUE(MakeFolders(folder));
    WriteFile(folder + "/0.new", "");
    // A time that is never a clear tick in the past: the folder stays "just changed".
    timespec times[2] = {{0, UTIME_OMIT}, {::time(nullptr) + 3600, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, folder.c_str(), times, 0), 0);
    std::uint64_t generation = 0;
    EXPECT_EQ(FirstFreeIndexedName(folder, 0, 9, name_of, generation), 1u);
    WriteFile(folder + "/1.NEW", "");
    ASSERT_EQ(::utimensat(AT_FDCWD, folder.c_str(), times, 0), 0);
    EXPECT_EQ(FirstFreeIndexedName(folder, 0, 9, name_of, generation), 2u) << "watched: " << watched;
  }
  SetFolderWatchesForTest(true);
}

// A big folder's index saved at the end of one run serves the next, but a name that came
// after the save (in the same clock tick as the last change, too) is still seen.
TEST(FolderNamesTest, SavedIndexMissesNoLaterName) {
  TempDir dir;
  std::string folder = dir / "Inbox";
  ASSERT_TRUE(MakeFolders(folder));
  for (int n = 0; n < 1200; ++n) WriteFile(folder + "/" + std::to_string(n) + ".New", "");
  ::setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);
  ASSERT_TRUE(FolderHasNameIgnoringCase(folder, "7.new"));
  WriteFile(folder + "/Last.New", "");
  SaveFolderNames();
  WriteFile(folder + "/Late.new", "");
  SetFolderWatchesForTest(true);  // as at the start of the next run
  EXPECT_EQ(ListNames(dir / "cache/corvelle/folder-names").size(), 1u);
  EXPECT_TRUE(FolderHasNameIgnoringCase(folder, "LAST.new") && FolderHasNameIgnoringCase(folder, "late.NEW"));
  SaveFolderNames();
  SetFolderWatchesForTest(true);
  EXPECT_TRUE(FolderHasNameIgnoringCase(folder, "1199.NEW") && FolderHasNameIgnoringCase(folder, "late.new"));
  EXPECT_FALSE(FolderHasNameIgnoringCase(folder, "1200.new"));
  ::unsetenv("XDG_CACHE_HOME");
}

// Thousands of names coming and going are folded into the compact part of the index; what
// it says afterwards must match the folder name for name, case variants included.
TEST(FolderNamesTest, ManyChangesKeepEveryCount) {
  TempDir dir;
  std::string folder = dir / "Inbox";
  ASSERT_TRUE(MakeFolders(folder));
  ASSERT_FALSE(FolderHasNameIgnoringCase(folder, "0.new"));
  for (int n = 0; n < 9000; ++n) WriteFile(folder + "/" + std::to_string(n) + (n % 3 ? ".new" : ".NEW"), "");
  ASSERT_TRUE(FolderHasNameIgnoringCase(folder, "8999.new"));
  for (int n = 0; n < 9000; n += 2) ASSERT_TRUE(RemoveFile(folder + "/" + std::to_string(n) + (n % 3 ? ".new" : ".NEW")));
  WriteFile(folder + "/1.NEW", "");  // "1.new" stays: one of two case variants is taken away
  ASSERT_TRUE(RemoveFile(folder + "/1.new"));
  for (int n = 0; n < 9000; ++n)
    ASSERT_EQ(FolderHasNameIgnoringCase(folder, std::to_string(n) + ".New"), n % 2 == 1) << n;
}

}  // namespace
}  // namespace corvelle
