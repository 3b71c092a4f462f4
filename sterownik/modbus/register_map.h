#pragma once

#include "lamp_state.h"
#include "modbus_config.h"

#include <cstdint>
#include <vector>

namespace sterownik {

// One write of consecutive outputs of one device: coils (write multiple
// coils) or holding registers (write multiple registers). Each slice is the
// part one configuration line gave, so that a line a device refuses can be
// told apart and left out.
struct OutputWrite {
    struct Slice {
        std::size_t output;  // index into the device's outputs
        int address;
        std::vector<std::uint16_t> values;
    };
    bool registers = false;
    int address = 0;
    std::vector<std::uint16_t> values;  // coils: 0 or 1
    std::vector<Slice> slices;
};

// One read of consecutive discrete inputs, and which inputs it gives.
struct InputRead {
    int address = 0;
    int count = 0;
    std::vector<std::size_t> inputs;  // indices into the device's inputs, one per address read
};

// The writes that put `lamps` on a device's outputs: one per run of
// consecutive coils, one per run of consecutive registers, whatever lines
// the run spans. A circuit's coil is on while any of its lamps is lit.
std::vector<OutputWrite> OutputWrites(const std::vector<hall::ModbusOutput>& outputs, const hall::LampsLit& lamps);

// The reads of a device's inputs: one per run of consecutive addresses.
std::vector<InputRead> InputReads(const std::vector<hall::ModbusInput>& inputs);

}  // namespace sterownik
