#pragma once
// Postponing a composition: filing it into the Postponed folder, or writing it back to the
// postponed file it was reopened from.

namespace corvelle {

class TMailViewer;

// Postpones `viewer`'s message. True when it was saved; false after the message saying why
// (or when the user has to complete the window first). Clears AskOnClose on success.
bool DoPostponeFile(TMailViewer& viewer);

// The hand-over of a composition window's close query (answer Yes): postpones `viewer`,
// the window that asked, and closes it on success. Runs after the close query returned.
void PostponeAndClose(TMailViewer& viewer);

}  // namespace corvelle
