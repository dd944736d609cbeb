#pragma once
// The bounded wait of a sign-in: events go through (the network, the browser's answer, the
// windows' Cancel buttons) in short slices, with the interface's ProcessEvents between them,
// until the awaited thing happened, a Cancel came or the time is up.

#include <functional>

#include "core/user_interface.h"

namespace corvelle {

enum class WaitEnd { kDone, kCancelled, kTimedOut };

WaitEnd WaitUntil(UserInterface& ui, const std::function<bool()>& done, const bool& cancelled, int limit_ms);

}  // namespace corvelle
