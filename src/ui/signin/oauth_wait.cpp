#include "ui/signin/oauth_wait.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace corvelle {
namespace {

constexpr int kSliceMilliseconds = 20;  // how long a wait goes without asking the interface

}  // namespace

WaitEnd WaitUntil(UserInterface& ui, const std::function<bool()>& done, const bool& cancelled, int limit_ms) {
  const QDeadlineTimer deadline(limit_ms);
  for (;;) {
    if (done()) return WaitEnd::kDone;
    if (cancelled) return WaitEnd::kCancelled;
    if (deadline.hasExpired()) return WaitEnd::kTimedOut;
    QEventLoop slice;
    QTimer::singleShot(kSliceMilliseconds, &slice, &QEventLoop::quit);
    slice.exec();
    ui.ProcessEvents();
  }
}

}  // namespace corvelle
