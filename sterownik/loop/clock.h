#pragma once

#include <chrono>

namespace sterownik {

// The loop's one clock: steady, so that a change of the wall clock moves no deadline.
using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;
using Duration = Clock::duration;

}  // namespace sterownik
