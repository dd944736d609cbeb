#include "core/user_interface.h"

namespace corvelle {
namespace {

class SilentUi final : public UserInterface {
 public:
  // Nobody to ask: the answer that changes nothing (No, Cancel), so nothing is deleted
  // or replaced unasked.
  Answer Message(const std::string&, const std::string&, Buttons buttons, MessageIcon) override {
    return SafeAnswer(buttons);
  }
  void TotalProgress(int) override {}
  void CurrentProgress(int) override {}
  void ProcessEvents() override {}
};

SilentUi silent_ui;
UserInterface* installed_ui = &silent_ui;

}  // namespace

Answer SafeAnswer(Buttons buttons) {
  switch (buttons) {
    case Buttons::Ok: return Answer::Ok;
    case Buttons::YesNo: return Answer::No;
    default: return Answer::Cancel;
  }
}

UserInterface& Ui() { return *installed_ui; }

void SetUi(UserInterface* ui) { installed_ui = ui ? ui : &silent_ui; }

void ShowMessage(const std::string& text) {
  Ui().Message(text, kApplicationTitle, Buttons::Ok, MessageIcon::Information);
}

Answer Ask(const std::string& text, const std::string& caption, Buttons buttons) {
  return Ui().Message(text, caption, buttons, MessageIcon::Question);
}

}  // namespace corvelle
