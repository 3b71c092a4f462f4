#pragma once

#include "lamp_failures.h"
#include "lamp_state.h"
#include "ledger_records.h"
#include "scene_files.h"

#include <array>
#include <cstdint>
#include <optional>

namespace sterownik {

// The hall as the controller last knew it, for those that read it from
// outside: the building's management system, Home Assistant's view of the zones.
struct HallView {
    hall::LampsLit lamps{};
    std::array<bool, hall::kSensorCount> zones{};
    int devicesAway = 0;
    bool operator==(const HallView&) const = default;
};

// What the hall's floor sees of the lamps' upkeep.
struct UpkeepFigures {
    bool ledger = false;  // kept at all
    double watts = 0;     // of the lamps lit now
    // The last flushed commit's; nothing before the first.
    std::optional<hall::LampTotals> totals;
    std::int64_t todayMicrojoules = 0;
    std::array<std::optional<double>, hall::kLampCount> ratedHours{};
    std::array<std::optional<FailureKind>, hall::kLampCount> failures{};
    bool operator==(const UpkeepFigures&) const = default;
};

}  // namespace sterownik
