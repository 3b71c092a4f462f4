#pragma once

#include "report.h"
#include "result.h"

#include <filesystem>

namespace bench {

// The controller on Modbus TCP modules of the benchmark's own, in its threads,
// without a broker: the floor, a write of 108 coils from a client of the
// benchmark; wall keys raised on a module's discrete inputs, each timed to the
// write that sets the last coil its scene changes, with the write requests
// one switch of all lamps costs; and the same keys while a second module of
// the hall takes requests and never answers. A signal on `signals` ends it.
hall::Status MeasureModbus(const std::filesystem::path& root, int signals, ModbusFigures& figures);

}  // namespace bench
