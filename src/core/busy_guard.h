#pragma once
// One command at a time. The transfer commands, the folder tools and the address-book runs
// process pending events while they work, so the user could start a second one from inside
// the first; each takes this guard first and, when it is held, refuses quietly.

namespace corvelle {

// The status line of a command refused while another runs.
inline constexpr const char* kBusyText = "Busy: wait for the running transfer to end.";
// What a command says when another process holds the mail directory for longer than it waits.
inline constexpr const char* kOtherProcessBusyText = "Busy: another Corvelle is working on this mail directory.";

class BusyGuard {
 public:
  BusyGuard() : taken_(!held_) { held_ = true; }
  ~BusyGuard() {
    if (taken_) held_ = false;
  }
  BusyGuard(const BusyGuard&) = delete;
  BusyGuard& operator=(const BusyGuard&) = delete;

  // True when this guard took the hold, false when another command holds it.
  explicit operator bool() const { return taken_; }
  static bool Held() { return held_; }

 private:
  bool taken_;
  static inline bool held_ = false;  // the interface thread only
};

}  // namespace corvelle
