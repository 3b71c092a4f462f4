#pragma once

#include "hall_view.h"

#include <string>
#include <utility>
#include <vector>

namespace sterownik::panel {

struct ZoneView {
    enum class State { Free, Held, Releasing };
    State state = State::Free;
    int secondsLeft = 0;  // Releasing: whole seconds, rounded up
    bool operator==(const ZoneView&) const = default;
};

// The hall as the panel shows it, handed from the loop to the panel's thread.
struct PanelView {
    std::string hall;
    hall::LampsLit lamps{};
    std::array<ZoneView, hall::kSensorCount> zones{};
    std::vector<std::pair<std::string, bool>> devices;  // the broker first, then the Modbus devices
    UpkeepFigures upkeep;
    bool operator==(const PanelView&) const = default;
};

}  // namespace sterownik::panel
