#include "core/user_interface.h"

namespace corvelle {
namespace {

SilentUserInterface silent_ui;
UserInterface* installed_ui = &silent_ui;

}  // namespace

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

UserInterface& Ui() { return *installed_ui; }

void SetUi(UserInterface* ui) { installed_ui = ui ? ui : &silent_ui; }

void ShowMessage(UserInterface& ui, const std::string& text) {
  ui.Message(text, kApplicationTitle, Buttons::Ok, MessageIcon::Information);
}

void ShowMessage(const std::string& text) { ShowMessage(Ui(), text); }

Answer Ask(UserInterface& ui, const std::string& text, const std::string& caption, Buttons buttons) {
  return ui.Message(text, caption, buttons, MessageIcon::Question);
}

Answer Ask(const std::string& text, const std::string& caption, Buttons buttons) { return Ask(Ui(), text, caption, buttons); }

}  // namespace corvelle
