#pragma once
// The interface a background check runs with. Nobody is asked: every question takes the
// answer that changes nothing (SafeAnswer) and what a box would have said is kept for the
// check's report. The transfer runs on the interface thread; pending events go through at
// most every kQuietEventInterval milliseconds, between two protocol lines or two filed
// messages, so typing goes on meanwhile.

#include <QElapsedTimer>
#include <string>
#include <vector>

#include "core/user_interface.h"
#include "net/transfer_context.h"

namespace corvelle {

// Milliseconds between two passes of pending events during a background check: shorter than
// a transfer dialog's (kEventInterval), since a key typed meanwhile waits for the next pass.
inline constexpr qint64 kQuietEventInterval = 2;

class QuietInterface final : public UserInterface {
 public:
  QuietInterface() { since_events_.start(); }

  Answer Message(const std::string& text, const std::string& caption, Buttons buttons, MessageIcon icon) override;
  void TotalProgress(int) override {}
  void CurrentProgress(int) override {}
  void ProcessEvents() override;

  // The files' flush of a run (SyncFiles, what an empty DiskFlush does) on a thread of its
  // own while pending events go through: a retrieval's commit flushes every message it
  // fetched at once, which takes tens of milliseconds.
  DiskFlush SyncWhileResponsive();

  // The texts of the boxes not shown, oldest first.
  const std::vector<std::string>& Kept() const { return kept_; }

 private:
  QElapsedTimer since_events_;
  std::vector<std::string> kept_;
};

}  // namespace corvelle
