#pragma once

#include "driver_client.h"
#include "report.h"
#include "result.h"

#include <filesystem>
#include <vector>

namespace bench {

// The one hall with `serwer_modbus` on, through a broker of its own, taking
// motion at its pace twice: first alone, then while a libmodbus client in a
// thread of the benchmark reads the lamps' coils and the input registers, one
// request after the other. A watch that fails ends it.
hall::Status MeasureBms(const std::filesystem::path& root, std::vector<Watch> watches, BmsFigures& figures);

}  // namespace bench
