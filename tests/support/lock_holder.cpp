#include "support/lock_holder.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "platform/mail_dir_lock.h"

namespace corvelle::testing {

pid_t HoldLockInAnotherProcess(const std::string& lock_file) {
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

}  // namespace corvelle::testing
