#pragma once
// Corvelle's own icon, from the program's resources: set once on the application, so that
// every window and dialog shows it.

#include <QIcon>

namespace corvelle {

QIcon ProgramIcon();

}  // namespace corvelle
