#pragma once
// The one seam through which core routines reach the user: message boxes, questions,
// progress and pending events. The Qt interface implements it; tests use a recording fake.

#include <string>

namespace corvelle {

enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
enum class Answer { Ok, Cancel, Yes, No };
enum class MessageIcon { None, Information, Warning, Error, Question };

// The application's title; the caption of message boxes that name no caption of their own.
inline constexpr const char* kApplicationTitle = "Corvelle";

class UserInterface {
 public:
  virtual ~UserInterface() = default;

  // A modal message box with the exact text and caption; returns the button pressed.
  // A "\n\r" pair inside the text is one line break.
  virtual Answer Message(const std::string& text, const std::string& caption, Buttons buttons,
                         MessageIcon icon) = 0;

  // Progress of the running operation, 0 to 100: all of it, and the current item.
  virtual void TotalProgress(int percent) = 0;
  virtual void CurrentProgress(int percent) = 0;

  // Lets the interface handle what is pending (a Cancel button, a repaint).
  virtual void ProcessEvents() = 0;
};

// Nobody to ask: every question gets the answer that changes nothing (SafeAnswer), and
// everything else is ignored. What a component runs with when it is given no interface.
class SilentUserInterface final : public UserInterface {
 public:
  Answer Message(const std::string& text, const std::string& caption, Buttons buttons, MessageIcon icon) override;
  void TotalProgress(int) override {}
  void CurrentProgress(int) override {}
  void ProcessEvents() override {}
};

// The answer that changes nothing: No for Yes/No, Cancel where there is one, else OK. What
// a run with nobody to ask takes: no certificate trusted, no password sent in clear.
Answer SafeAnswer(Buttons buttons);

// An information box with an OK button, captioned with the application title.
void ShowMessage(UserInterface& ui, const std::string& text);

// A question with Yes and No (or Yes, No and Cancel); returns the button pressed.
Answer Ask(UserInterface& ui, const std::string& text, const std::string& caption, Buttons buttons);

}  // namespace corvelle
