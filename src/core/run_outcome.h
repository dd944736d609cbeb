#pragma once
// Whether the program's own command line did all it was asked: a run started by a script
// or by cron ends with a failure status when anything went wrong, not only when a bad
// option was given.

namespace corvelle {

// Marks the options of the program's own command line as running while it lives.
class CommandLineRun {
 public:
  CommandLineRun();
  ~CommandLineRun();
  CommandLineRun(const CommandLineRun&) = delete;
  CommandLineRun& operator=(const CommandLineRun&) = delete;
  static bool Active();
};

// Records that something the command line asked for failed (or was refused, or had to be
// told to the user). Ignored outside a command-line run.
void NoteRunFailure();

// True once a failure was recorded.
bool RunFailed();

// Forgets recorded failures (tests).
void ResetRunOutcome();

}  // namespace corvelle
