#pragma once

#include "events.h"
#include "modbus_config.h"

#include <optional>
#include <string>
#include <vector>

namespace sterownik {

// A device's inputs as events: a key is pressed on its input's rising edge;
// a sensor's input is a level, motion while 1. Only changes are events, so a
// held input costs nothing at each poll.
class InputEdges {
public:
    struct Change {
        Event event;
        std::string source;  // "szafa1, wejście 5"
    };

    InputEdges(std::string device, std::vector<hall::ModbusInput> inputs);

    // The levels of every input, in the order of the inputs given.
    std::vector<Change> update(const std::vector<bool>& levels);
    // The device went away: its sensors' levels are unknown, as if they had
    // gone to 0, and a key seen next is no press until it has been seen up.
    std::vector<Change> lost();
    // A reload rewired the device: each input that `next` reads as the same
    // sensor or key at the same address keeps its level there, without an
    // event; a sensor no longer read that was at 1 counts as no motion from
    // now on, as for a device that went away. Without `next`, the device is gone.
    std::vector<Change> handOver(InputEdges* next);

private:
    Change changeOf(std::size_t i, Event event) const;

    std::string device_;
    std::vector<hall::ModbusInput> inputs_;
    std::vector<std::optional<bool>> levels_;  // nothing: not read since the device came
};

}  // namespace sterownik
