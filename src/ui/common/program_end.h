#pragma once
// Ending the program at once (an incomplete setup at start-up, a bad command line).

#include <functional>

namespace corvelle {

// Ends the process with `code` without running the event loop further. Tests install a
// hook that records the code instead; when the hook returns, so does EndProgram.
void EndProgram(int code);

// Replaces the ending (nullptr puts the real one back).
void SetProgramEndHook(std::function<void(int)> hook);

}  // namespace corvelle
