#pragma once

#include "driver_client.h"
#include "report.h"
#include "result.h"

#include <filesystem>
#include <vector>

namespace bench {

// One hall sent ten thousand key presses and motion reports at once, through
// a broker of its own set as the package sets a hall's broker: whether the
// controller logs each, ends with the lamps the rules give, and how few
// durable replaces of actual.txt it needed. Then the same through a broker at
// Debian's default queue and inflight limits, into `atDefaults`. `watches`
// end the runs as the rest's do; the broker's own is added.
hall::Status MeasureBurst(const std::filesystem::path& root, const std::vector<Watch>& watches, BurstFigures& figures,
                          BurstFigures& atDefaults);

}  // namespace bench
