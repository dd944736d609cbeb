#include "core/progress.h"

namespace corvelle {

void ProgressReport::Total(int percent) {
  ui_.TotalProgress(percent);
  ui_.ProcessEvents();
}

void ProgressReport::Current(int percent) {
  if (percent != current_) ui_.CurrentProgress(current_ = percent);
  ui_.ProcessEvents();
}

void ProgressReport::Both(int percent) {
  if (percent == current_) return;
  current_ = percent;
  ui_.TotalProgress(percent);
  ui_.CurrentProgress(percent);
  ui_.ProcessEvents();
}

}  // namespace corvelle
