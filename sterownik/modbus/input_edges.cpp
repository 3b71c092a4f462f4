#include "input_edges.h"

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

}  // namespace sterownik
