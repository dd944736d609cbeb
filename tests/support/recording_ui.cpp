#include "support/recording_ui.h"

namespace corvelle::testing {

Answer RecordingUi::Message(const std::string& text, const std::string& caption, Buttons buttons,
                            MessageIcon icon) {
  boxes.push_back({text, caption, buttons, icon});
  if (!answers_.empty()) {
    Answer answer = answers_.front();
    answers_.pop_front();
    return answer;
  }
  return (buttons == Buttons::Ok || buttons == Buttons::OkCancel) ? Answer::Ok : Answer::Yes;
}

void RecordingUi::ProcessEvents() {
  ++events_processed;
  if (on_events) on_events();
}

std::vector<std::string> RecordingUi::Texts() const {
  std::vector<std::string> texts;
  for (const Box& box : boxes) texts.push_back(box.text);
  return texts;
}

}  // namespace corvelle::testing
