#include "net/pop3/spool_writer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <unistd.h>

#include "platform/paths.h"
#include "support/temp_dir.h"

namespace corvelle {
namespace {

using testing::ListNames;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

TEST(SpoolWriter, TakesTheNextFreeCounterNameAndNeverReplaces) {
  TempDir dir;
  WriteFile(dir / "Spool/0.new", "older message");
  SpoolWriter first, second;
  ASSERT_TRUE(first.Create(dir / "Spool", ".new"));
  ASSERT_TRUE(second.Create(dir / "Spool", ".new"));
  EXPECT_EQ(first.path(), dir / "Spool/1.new");
  EXPECT_EQ(second.path(), dir / "Spool/2.new");
  std::string big(200000, 'b');
  EXPECT_TRUE(first.Append("head\r\n"));
  EXPECT_TRUE(first.Append(big));
  EXPECT_TRUE(first.Close());
  EXPECT_EQ(first.size(), static_cast<long long>(6 + big.size()));
  EXPECT_EQ(ReadFile(dir / "Spool/1.new"), "head\r\n" + big);
  second.Remove();
  EXPECT_EQ(ListNames(dir / "Spool"), (std::vector<std::string>{"0.new", "1.new"}));
  EXPECT_EQ(ReadFile(dir / "Spool/0.new"), "older message");
}

TEST(SpoolWriter, AFolderThatCannotTakeFilesFails) {
  TempDir dir;
  SpoolWriter writer;
  EXPECT_FALSE(writer.Create(dir / "missing", ".new"));
  EXPECT_FALSE(writer.Close());
}

TEST(CreateNewFile, RefusesATakenNameAndKeepsTheIndexCurrent) {
  TempDir dir;
  WriteFile(dir / "f/Taken", "x");
  EXPECT_TRUE(FolderHasNameIgnoringCase(dir / "f", "taken"));
  EXPECT_EQ(CreateNewFile(dir / "f/Taken"), -1);
  EXPECT_EQ(errno, EEXIST);
  int fd = CreateNewFile(dir / "f/New");
  ASSERT_GE(fd, 0);
  ::close(fd);
  EXPECT_TRUE(FolderHasNameIgnoringCase(dir / "f", "NEW"));
  EXPECT_EQ(ReadFile(dir / "f/Taken"), "x");
}

}  // namespace
}  // namespace corvelle
