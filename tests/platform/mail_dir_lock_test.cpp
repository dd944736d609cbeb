#include "platform/mail_dir_lock.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace corvelle {
namespace {

using testing::TempDir;

// Another process that takes the lock and keeps it until it is killed. Returns its id once
// it holds the lock, or -1.
pid_t HoldInAnotherProcess(const std::string& lock_file) {
  int ready[2];
  if (::pipe(ready) != 0) return -1;
  pid_t child = ::fork();
  if (child == 0) {
    ::close(ready[0]);
    MailDirLock lock(lock_file, 0);
    char held = lock ? 'y' : 'n';
    if (::write(ready[1], &held, 1) != 1) ::_exit(1);
    for (;;) ::pause();
  }
  ::close(ready[1]);
  char held = 0;
  bool ok = child > 0 && ::read(ready[0], &held, 1) == 1 && held == 'y';
  ::close(ready[0]);
  if (!ok && child > 0) {
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
  }
  return ok ? child : -1;
}

// Two processes on one mail directory: the second waits its bounded time and gets nothing,
// and gets the lock once the first is gone, however it ended.
TEST(MailDirLockTest, OneProcessAtATime) {
  TempDir dir;
  const std::string lock_file = dir / ".corvelle.lock";
  pid_t holder = HoldInAnotherProcess(lock_file);
  ASSERT_GT(holder, 0);
  EXPECT_FALSE(MailDirLock(lock_file, 0));
  EXPECT_FALSE(MailDirLock(lock_file, 120)) << "the wait is bounded";
  ::kill(holder, SIGKILL);
  ::waitpid(holder, nullptr, 0);
  MailDirLock mine(lock_file, 0);
  EXPECT_TRUE(mine);
  pid_t second = HoldInAnotherProcess(lock_file);
  EXPECT_EQ(second, -1) << "the other process had the lock while this one held it";
}

}  // namespace
}  // namespace corvelle
