#pragma once

#include "driver_client.h"
#include "report.h"
#include "result.h"

#include <filesystem>
#include <vector>

namespace bench {

// One hall sent ten thousand key presses and motion reports at once, through
// a broker of its own at Debian's default queue and inflight limits: whether
// the controller logs each, ends with the lamps the rules give, and how few
// durable replaces of actual.txt it needed. `watches` end the run as the
// rest's do; the broker's own is added.
hall::Status MeasureBurst(const std::filesystem::path& root, std::vector<Watch> watches, BurstFigures& figures);

}  // namespace bench
