#include "latency.h"

#include <algorithm>
#include <cmath>

namespace bench {
namespace {

// The sample at or above the fraction `p` of the sorted samples.
Duration Rank(const std::vector<Duration>& sorted, double p) {
    const auto rank = static_cast<std::size_t>(std::ceil(p * static_cast<double>(sorted.size())));
    return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

}  // namespace

LatencySummary Summarize(std::vector<Duration> samples) {
    if (samples.empty()) return {};
    std::sort(samples.begin(), samples.end());
    return {samples.size(), Rank(samples, 0.5), Rank(samples, 0.99), samples.back()};
}

double Milliseconds(Duration duration) { return std::chrono::duration<double, std::milli>(duration).count(); }

}  // namespace bench
