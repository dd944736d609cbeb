#include "core/run_outcome.h"

namespace corvelle {
namespace {

int active_runs = 0;  // the interface thread only
bool failed = false;

}  // namespace

CommandLineRun::CommandLineRun() { ++active_runs; }
CommandLineRun::~CommandLineRun() { --active_runs; }
bool CommandLineRun::Active() { return active_runs > 0; }

void NoteRunFailure() {
  if (active_runs > 0) failed = true;
}

bool RunFailed() { return failed; }

void ResetRunOutcome() { failed = false; }

}  // namespace corvelle
