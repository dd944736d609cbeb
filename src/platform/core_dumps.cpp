#include "platform/core_dumps.h"

#include <sys/prctl.h>
#include <sys/resource.h>

#if defined(__SANITIZE_ADDRESS__)
#define CORVELLE_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CORVELLE_LEAK_CHECKED 1
#endif
#endif

namespace corvelle {

bool KeepSecretsOutOfCoreFiles() {
  rlimit none{0, 0};
  bool limited = setrlimit(RLIMIT_CORE, &none) == 0;
#ifdef CORVELLE_LEAK_CHECKED
  // The leak checker stops the process's threads with ptrace, which a process that is not
  // dumpable refuses: under the sanitizers the limit alone keeps core files away.
  return limited;
#else
  return prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) == 0 && limited;
#endif
}

}  // namespace corvelle
