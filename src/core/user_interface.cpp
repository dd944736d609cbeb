#include "core/user_interface.h"

namespace corvelle {
namespace {

class SilentUi final : public UserInterface {
 public:
  Answer Message(const std::string&, const std::string&, Buttons buttons, MessageIcon) override {
    return (buttons == Buttons::Ok || buttons == Buttons::OkCancel) ? Answer::Ok : Answer::Yes;
  }
  void TotalProgress(int) override {}
  void CurrentProgress(int) override {}
  void ProcessEvents() override {}
};

SilentUi silent_ui;
UserInterface* installed_ui = &silent_ui;

}  // namespace

UserInterface& Ui() { return *installed_ui; }

void SetUi(UserInterface* ui) { installed_ui = ui ? ui : &silent_ui; }

void ShowMessage(const std::string& text) {
  Ui().Message(text, kApplicationTitle, Buttons::Ok, MessageIcon::Information);
}

Answer Ask(const std::string& text, const std::string& caption, Buttons buttons) {
  return Ui().Message(text, caption, buttons, MessageIcon::Question);
}

}  // namespace corvelle
