#include "ui/common/program_end.h"

#include <unistd.h>

#include <cstdio>

namespace corvelle {
namespace {

std::function<void(int)>& Hook() {
  static std::function<void(int)> hook;
  return hook;
}

}  // namespace

void EndProgram(int code) {
  if (Hook()) {
    Hook()(code);
    return;
  }
  // Every file the program writes is complete and flushed when written, so nothing is
  // lost by skipping the destructors of windows that are still open.
  std::fflush(nullptr);
  ::_exit(code);
}

void SetProgramEndHook(std::function<void(int)> hook) { Hook() = std::move(hook); }

}  // namespace corvelle
