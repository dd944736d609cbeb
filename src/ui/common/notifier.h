#pragma once
// A short note on the desktop that goes away by itself: new mail, a background check that
// failed. Main() hands the desktop's (DesktopNotifier) to the run's services; tests record.

#include <QString>
#include <functional>

namespace corvelle {

class Notifier {
 public:
  virtual ~Notifier() = default;
  // Shows `title` over `body` (plain text, lines apart by "\n"). `on_click`, when not empty,
  // runs on the interface thread if the user clicks the note.
  virtual void Notify(const QString& title, const QString& body, std::function<void()> on_click) = 0;
};

// The notes written to the error output: where there is no desktop to show them.
class ErrorOutputNotifier final : public Notifier {
 public:
  void Notify(const QString& title, const QString& body, std::function<void()> on_click) override;
};

}  // namespace corvelle
