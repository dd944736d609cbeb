#pragma once
// The Qt side of the core/interface seam: message boxes with the program's own texts,
// progress forwarded to whichever window shows it, and event processing.

#include <QElapsedTimer>
#include <QObject>
#include <set>
#include <string>

#include "core/user_interface.h"

class QWidget;

namespace corvelle {

// Milliseconds between two passes of pending events (and of progress bar updates) in long
// loops: often enough that the bars move and Cancel answers, rarely enough to cost little.
constexpr qint64 kEventInterval = 15;

class QtUserInterface : public QObject, public UserInterface {
  Q_OBJECT
 public:
  explicit QtUserInterface(QObject* parent = nullptr);
  ~QtUserInterface() override = default;

  Answer Message(const std::string& text, const std::string& caption, Buttons buttons,
                 MessageIcon icon) override;
  void TotalProgress(int percent) override;
  void CurrentProgress(int percent) override;
  void ProcessEvents() override;

  // Text of the system's own: bytes as UTF-8 when valid, else Windows-1252; "\n\r" and
  // "\r\n" become one line break.
  static QString DisplayText(const std::string& text);

  // True when there is no display (the offscreen or minimal platform): boxes then write
  // their caption and text to the error output and take their safe answer.
  bool Headless() const { return headless_; }
  void SetHeadlessForTest(bool headless) { headless_ = headless; }
  // Whether a box without a display has written `text` already in this run: a reason the
  // run's summary repeats goes to the error output once.
  bool Wrote(const std::string& text) const { return written_.contains(text); }

 signals:
  void totalProgress(int percent);
  void currentProgress(int percent);

 private:
  void FlushProgress();

  bool headless_;
  std::set<std::string> written_;
  QElapsedTimer events_clock_, bars_clock_;
  int pending_total_ = -1, pending_current_ = -1;  // -1: nothing waiting
};

}  // namespace corvelle
