#pragma once
// The interface one account's retrieval or sending goes through in a run over several
// accounts: every box it shows (an error, a question) begins with the account's title
// ("work: Could not connect to host."), so the user knows whose server it was. Without a
// title everything passes on unchanged. Whoever asks what kind of interface is behind a
// run (nobody attending?) asks Inner().

#include <string>

#include "core/user_interface.h"

namespace corvelle {

class TitledInterface final : public UserInterface {
 public:
  // `inner` must outlive this.
  explicit TitledInterface(UserInterface& inner, std::string title = "") : title(std::move(title)), inner_(inner) {}
  std::string title;  // "": boxes pass unchanged

  UserInterface& Inner() const { return inner_; }

  Answer Message(const std::string& text, const std::string& caption, Buttons buttons, MessageIcon icon) override {
    return inner_.Message(title.empty() ? text : title + ": " + text, caption, buttons, icon);
  }
  void TotalProgress(int percent) override { inner_.TotalProgress(percent); }
  void CurrentProgress(int percent) override { inner_.CurrentProgress(percent); }
  void ProcessEvents() override { inner_.ProcessEvents(); }

 private:
  UserInterface& inner_;
};

}  // namespace corvelle
