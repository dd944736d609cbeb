#pragma once
// Another process that holds the mail directory's lock, as a second Corvelle would.

#include <sys/types.h>

#include <string>

namespace corvelle::testing {

// Forks a process that takes the lock `lock_file` and keeps it until it is killed (SIGKILL,
// then waitpid). Returns its id once it holds the lock, or -1.
pid_t HoldLockInAnotherProcess(const std::string& lock_file);

}  // namespace corvelle::testing
