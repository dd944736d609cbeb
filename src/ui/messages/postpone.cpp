#include "ui/messages/postpone.h"

namespace corvelle {

bool DoPostponeFile(TMailViewer&) { return false; }

void PostponeAndClose(TMailViewer&) {}

}  // namespace corvelle
