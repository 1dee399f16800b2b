#pragma once

#include <chrono>

namespace quorvane::device {

// Frame gaps, answer delays and the linger time are measured on a clock that
// never jumps with the wall time.
using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;
using Milliseconds = std::chrono::milliseconds;

} // namespace quorvane::device
