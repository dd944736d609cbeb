#include "ui/common/program_end.h"

#include <unistd.h>

#include <cstdio>

namespace corvelle {
void EndProcess(int code) {
  // Every file the program writes is complete and flushed when written, so nothing is
  // lost by skipping the destructors of windows that are still open.
  std::fflush(nullptr);
  ::_exit(code);
}

}  // namespace corvelle
