#pragma once
// The interface a background check runs with. Nobody is asked: every question takes the
// answer that changes nothing (SafeAnswer) and what a box would have said is kept for the
// check's report. The transfer runs on the interface thread; pending events go through at
// most every kEventInterval milliseconds, between two protocol lines or two filed messages,
// so typing goes on meanwhile.

#include <QElapsedTimer>
#include <string>
#include <vector>

#include "core/user_interface.h"

namespace corvelle {

class QuietInterface final : public UserInterface {
 public:
  QuietInterface() { since_events_.start(); }

  Answer Message(const std::string& text, const std::string& caption, Buttons buttons, MessageIcon icon) override;
  void TotalProgress(int) override {}
  void CurrentProgress(int) override {}
  void ProcessEvents() override;

  // The texts of the boxes not shown, oldest first.
  const std::vector<std::string>& Kept() const { return kept_; }

 private:
  QElapsedTimer since_events_;
  std::vector<std::string> kept_;
};

}  // namespace corvelle
