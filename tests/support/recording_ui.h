#pragma once
// The test side of the core/interface seam: records every message box and progress step,
// answers questions from a script, and can run a hook when events are processed (a test
// "presses Cancel" that way).

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "core/user_interface.h"

namespace corvelle::testing {

class RecordingUi : public UserInterface {
 public:
  struct Box {
    std::string text, caption;
    Buttons buttons;
    MessageIcon icon;
  };

  RecordingUi() = default;
  RecordingUi(const RecordingUi&) = delete;
  RecordingUi& operator=(const RecordingUi&) = delete;

  // Answers for the coming questions, in order. Without one, the first button is pressed.
  void Script(std::initializer_list<Answer> answers) { answers_.insert(answers_.end(), answers); }

  Answer Message(const std::string& text, const std::string& caption, Buttons buttons,
                 MessageIcon icon) override;
  void TotalProgress(int percent) override { total.push_back(percent); }
  void CurrentProgress(int percent) override { current.push_back(percent); }
  void ProcessEvents() override;

  // The texts of the boxes shown, in order.
  std::vector<std::string> Texts() const;

  std::vector<Box> boxes;
  std::vector<int> total, current;
  int events_processed = 0;
  std::function<void()> on_events;  // runs inside ProcessEvents

 private:
  std::deque<Answer> answers_;
};

}  // namespace corvelle::testing
