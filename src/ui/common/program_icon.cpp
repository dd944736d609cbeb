#include "ui/common/program_icon.h"

#include <QString>

namespace corvelle {

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
    icon.addFile(QStringLiteral(":/corvelle/icons/corvelle-%1.png").arg(size), QSize(size, size));
  return icon;
}

}  // namespace corvelle
