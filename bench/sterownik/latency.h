#pragma once

#include <chrono>
#include <cstddef>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;
using Duration = Clock::duration;

// Order statistics by nearest rank, so that every figure is one measured
// sample; all zero without samples.
struct LatencySummary {
    std::size_t count = 0;
    Duration median{};
    Duration p99{};
    Duration max{};
};

LatencySummary Summarize(std::vector<Duration> samples);

double Milliseconds(Duration duration);

}  // namespace bench
