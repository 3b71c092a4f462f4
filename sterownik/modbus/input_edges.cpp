#include "input_edges.h"

#include <algorithm>

namespace sterownik {

InputEdges::InputEdges(std::string device, std::vector<hall::ModbusInput> inputs)
    : device_(std::move(device)), inputs_(std::move(inputs)), levels_(inputs_.size()) {}

InputEdges::Change InputEdges::changeOf(std::size_t i, Event event) const {
    return {std::move(event), device_ + ", wejście " + std::to_string(inputs_[i].address)};
}

std::vector<InputEdges::Change> InputEdges::update(const std::vector<bool>& levels) {
    std::vector<Change> changes;
    for (std::size_t i = 0; i < inputs_.size() && i < levels.size(); ++i) {
        const std::optional<bool> before = levels_[i];
        levels_[i] = levels[i];
        const hall::ModbusInput& input = inputs_[i];
        // A sensor already at 1 when first read is motion; a key already down is no press.
        if (input.sensor && before.value_or(false) != levels[i])
            changes.push_back(changeOf(i, Motion{input.index, levels[i], true}));
        if (!input.sensor && before == false && levels[i]) changes.push_back(changeOf(i, KeyPress{input.index}));
    }
    return changes;
}

std::vector<InputEdges::Change> InputEdges::lost() {
    std::vector<Change> changes;
    for (std::size_t i = 0; i < inputs_.size(); ++i) {
        if (inputs_[i].sensor && levels_[i] == true)
            changes.push_back(changeOf(i, Motion{inputs_[i].index, false, true}));
        levels_[i].reset();
    }
    return changes;
}

std::vector<InputEdges::Change> InputEdges::handOver(InputEdges* next) {
    std::vector<Change> changes;
    for (std::size_t i = 0; i < inputs_.size(); ++i) {
        const hall::ModbusInput& input = inputs_[i];
        const auto same = [&](const hall::ModbusInput& other) {
            return other.address == input.address && other.sensor == input.sensor && other.index == input.index;
        };
        const auto kept = next ? std::find_if(next->inputs_.begin(), next->inputs_.end(), same) : inputs_.end();
        if (next && kept != next->inputs_.end())
            next->levels_[static_cast<std::size_t>(kept - next->inputs_.begin())] = levels_[i];
        else if (input.sensor && levels_[i] == true)
            changes.push_back(changeOf(i, Motion{input.index, false, true}));
    }
    return changes;
}

}  // namespace sterownik
