#include "platform/mail_dir_lock.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/lock_holder.h"
#include "support/temp_dir.h"

namespace corvelle {
namespace {

using testing::TempDir;

// Two processes on one mail directory: the second waits its bounded time and gets nothing,
// and gets the lock once the first is gone, however it ended.
TEST(MailDirLockTest, OneProcessAtATime) {
  TempDir dir;
  const std::string lock_file = dir / ".corvelle.lock";
  pid_t holder = testing::HoldLockInAnotherProcess(lock_file);
  ASSERT_GT(holder, 0);
  EXPECT_FALSE(MailDirLock(lock_file, 0));
  EXPECT_FALSE(MailDirLock(lock_file, 120)) << "the wait is bounded";
  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
  MailDirLock mine(lock_file, 0);
  EXPECT_TRUE(mine);
  pid_t second = testing::HoldLockInAnotherProcess(lock_file);
  EXPECT_EQ(second, -1) << "the other process had the lock while this one held it";
}

}  // namespace
}  // namespace corvelle
