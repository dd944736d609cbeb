#pragma once
// Running option lists in the main window: the program's own command line and the lines
// that later starts forward to this instance.

#include <string>
#include <vector>

#include "core/cmdline/parms.h"

namespace corvelle {

class TCorvelProg;

// Runs one option list, each option's command to its end before the next. A bad option
// shows the usage text; on the program's own command line it then ends the program, a
// forwarded line is only dropped. A command line that opened no window may end the
// program after it (ExitAfterCmdProc).
void ProcessParmStrings(TCorvelProg& window, const std::vector<std::string>& list, bool from_command_line);

// Receives one forwarded line: queued, then the queue is run in arrival order. Windows
// opened for a burst of lines open minimized, the last line's maximized.
void HandleParmEntry(TCorvelProg& window, const std::string& line);

// Runs the queued forwarded lines in arrival order, unless a line's command or a command
// holding the busy guard is running: that one's end runs them.
void RunPendingParms(TCorvelProg& window);

}  // namespace corvelle
