#pragma once

#include "lamp_state.h"
#include "result.h"
#include "scene_files.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace bench {

// The lamps motion on one input lights: a block of its own, so that motion
// on the next input always switches lamps on, whatever zone is still held.
struct LampBlock {
    int first;
    int last;  // the controller publishes lamps in order: this one comes last
};

constexpr LampBlock ZoneLamps(int input) {
    return {(input - 1) * hall::kLampCount / hall::kSensorCount + 1, input * hall::kLampCount / hall::kSensorCount};
}

// A hall in `hall`: actual.txt all off, sc1.txt … sc8.txt the zones above,
// and konfigurator/ with the switch-off delay and the broker's port.
// Fails with the reason when a file cannot be written.
hall::Status LayOutHall(const std::filesystem::path& hall, int port, std::string_view delayMinutes);

inline std::filesystem::path WorkingDirectory(const std::filesystem::path& hall) { return hall / "konfigurator"; }

}  // namespace bench
