#include "ui/newmail/quiet_interface.h"

#include <QCoreApplication>

#include "ui/common/qt_user_interface.h"

namespace corvelle {

Answer QuietInterface::Message(const std::string& text, const std::string&, Buttons buttons, MessageIcon) {
  kept_.push_back(text);
  return SafeAnswer(buttons);
}

void QuietInterface::ProcessEvents() {
  if (since_events_.elapsed() < kEventInterval) return;
  QCoreApplication::processEvents();
  since_events_.restart();
}

}  // namespace corvelle
