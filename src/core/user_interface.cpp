#include "core/user_interface.h"

namespace corvelle {

Answer SafeAnswer(Buttons buttons) {
  switch (buttons) {
    case Buttons::Ok: return Answer::Ok;
    case Buttons::YesNo: return Answer::No;
    default: return Answer::Cancel;
  }
}

// No, Cancel: nothing is deleted or replaced unasked.
Answer SilentUserInterface::Message(const std::string&, const std::string&, Buttons buttons, MessageIcon) {
  return SafeAnswer(buttons);
}

void ShowMessage(UserInterface& ui, const std::string& text) {
  ui.Message(text, kApplicationTitle, Buttons::Ok, MessageIcon::Information);
}


Answer Ask(UserInterface& ui, const std::string& text, const std::string& caption, Buttons buttons) {
  return ui.Message(text, caption, buttons, MessageIcon::Question);
}


}  // namespace corvelle
