#pragma once

#include "lamp_failures.h"
#include "modbus_config.h"

#include <cstdint>
#include <vector>

namespace sterownik {

// What one read of a watch says of its lamps, in the order listed: `read`
// holds the registers from the watch's address (awarie: 16 lamps a register,
// from bit 0), or its inputs, 0 or 1 each (zwrotne). Lamps past what was
// read are left out.
std::vector<LampSignal> WatchSignals(const hall::ModbusLampWatch& watch, const std::vector<std::uint16_t>& read);

}  // namespace sterownik
