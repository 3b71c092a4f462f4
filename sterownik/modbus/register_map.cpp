#include "register_map.h"

#include <algorithm>
#include <map>

namespace sterownik {
namespace {

using hall::ModbusOutputKind;

// The values one line gives, from its first address up.
std::vector<std::uint16_t> ValuesOf(const hall::ModbusOutput& output, const hall::LampsLit& lamps) {
    const auto lit = [&](int lamp) { return lamps[lamp - 1]; };
    if (output.kind == ModbusOutputKind::Circuit)
        return {static_cast<std::uint16_t>(std::any_of(output.lamps.begin(), output.lamps.end(), lit))};
    std::vector<std::uint16_t> values;
    for (const int lamp : output.lamps) {
        if (output.kind == ModbusOutputKind::Coils)
            values.push_back(lit(lamp) ? 1 : 0);
        else
            values.push_back(static_cast<std::uint16_t>(lit(lamp) ? output.on : output.off));
    }
    return values;
}

// Slices in address order, joined where one ends right before the next begins.
std::vector<OutputWrite> Runs(std::vector<OutputWrite::Slice> slices, bool registers) {
    std::sort(slices.begin(), slices.end(), [](const auto& a, const auto& b) { return a.address < b.address; });
    std::vector<OutputWrite> writes;
    for (OutputWrite::Slice& slice : slices) {
        OutputWrite* last = writes.empty() ? nullptr : &writes.back();
        if (!last || last->address + static_cast<int>(last->values.size()) != slice.address)
            last = &writes.emplace_back(OutputWrite{registers, slice.address, {}, {}});
        last->values.insert(last->values.end(), slice.values.begin(), slice.values.end());
        last->slices.push_back(std::move(slice));
    }
    return writes;
}

}  // namespace

std::vector<OutputWrite> OutputWrites(const std::vector<hall::ModbusOutput>& outputs, const hall::LampsLit& lamps) {
    std::vector<OutputWrite::Slice> coils, registers;
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        auto& slices = outputs[i].kind == ModbusOutputKind::Registers ? registers : coils;
        slices.push_back({i, outputs[i].address, ValuesOf(outputs[i], lamps)});
    }
    std::vector<OutputWrite> writes = Runs(std::move(coils), false);
    std::vector<OutputWrite> registerWrites = Runs(std::move(registers), true);
    writes.insert(writes.end(), registerWrites.begin(), registerWrites.end());
    return writes;
}

std::vector<InputRead> InputReads(const std::vector<hall::ModbusInput>& inputs) {
    std::map<int, std::size_t> byAddress;
    for (std::size_t i = 0; i < inputs.size(); ++i) byAddress.emplace(inputs[i].address, i);
    std::vector<InputRead> reads;
    for (const auto& [address, input] : byAddress) {
        if (reads.empty() || reads.back().address + reads.back().count != address) reads.push_back({address, 0, {}});
        ++reads.back().count;
        reads.back().inputs.push_back(input);
    }
    return reads;
}

}  // namespace sterownik
