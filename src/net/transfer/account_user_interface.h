#pragma once
// The interface one account's transfer is handed in a run over several accounts: every box
// it shows (an error, a question) starts with the account's title, so the user knows which
// account it is about; progress and events pass through unchanged.

#include <string>

#include "core/user_interface.h"

namespace corvelle {

class AccountUserInterface final : public UserInterface {
 public:
  // `shown_on` must outlive this; `title`: "" passes the boxes on as they are.
  AccountUserInterface(UserInterface& shown_on, std::string title) : shown_on_(shown_on), title_(std::move(title)) {}

  Answer Message(const std::string& text, const std::string& caption, Buttons buttons, MessageIcon icon) override {
    return shown_on_.Message(title_.empty() ? text : title_ + ": " + text, caption, buttons, icon);
  }
  void TotalProgress(int percent) override { shown_on_.TotalProgress(percent); }
  void CurrentProgress(int percent) override { shown_on_.CurrentProgress(percent); }
  void ProcessEvents() override { shown_on_.ProcessEvents(); }

 private:
  UserInterface& shown_on_;
  const std::string title_;
};

}  // namespace corvelle
