#pragma once

#include "lamp_state.h"
#include "scene_files.h"

#include <array>

namespace sterownik {

// The hall as the controller last knew it, for those that read it from
// outside: the building's management system, Home Assistant's view of the zones.
struct HallView {
    hall::LampsLit lamps{};
    std::array<bool, hall::kSensorCount> zones{};
    int devicesAway = 0;
    bool operator==(const HallView&) const = default;
};

}  // namespace sterownik
