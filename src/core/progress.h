#pragma once
// The progress of one running operation, as the interface is told it: a share that did not
// change is not shown again, and the interface handles what is pending after each step.

#include "core/user_interface.h"

namespace corvelle {

class ProgressReport {
 public:
  explicit ProgressReport(UserInterface& ui) : ui_(ui) {}

  // Shows `percent` (0 to 100) as the share of all the work done, then lets the interface
  // process events.
  void Total(int percent);

  // Shows `percent` as the share of the current item done unless that share is shown
  // already, then lets the interface process events.
  void Current(int percent);

  // For loops of many small steps (the lines of a mailbox): when `percent` is not the share
  // shown last, shows it as both shares and lets the interface process events; otherwise
  // does nothing at all.
  void Both(int percent);

 private:
  UserInterface& ui_;
  int current_ = -1;
};

}  // namespace corvelle
