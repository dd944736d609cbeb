#pragma once
// Ending the program at once (an incomplete setup at start-up, a bad command line).

#include <functional>

namespace corvelle {

// Ends the process with `code` without running the event loop further. What a desktop
// run's services end the program with (Services::end_program); tests record the code
// instead, and their ending returns.
void EndProcess(int code);

}  // namespace corvelle
