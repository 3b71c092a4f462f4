#pragma once

#include "events.h"
#include "lamp_state.h"
#include "scene_files.h"

#include <array>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sterownik {

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;
using Duration = Clock::duration;

inline constexpr Duration kDefaultDelay = std::chrono::minutes(15);

// The switch-off delay a saved text gives: its leading number in minutes, a
// fraction allowed; nothing when that is not a positive value.
std::optional<Duration> DelayOf(std::string_view text);

// An input's scene command file as read at one event.
struct ZoneFile {
    enum class State { Missing, Read, Unreadable };
    State state = State::Missing;
    hall::LampsLit lamps{};
};

// The hall's files as read at one event: the rules see the hall as it is at
// that moment, and what the operator saves counts from the next event.
struct HallFiles {
    std::optional<hall::LampsLit> lamps;  // ../actual.txt; nothing when unreadable
    std::array<ZoneFile, hall::kSensorCount> zones{};
    std::optional<Duration> delay = kDefaultDelay;  // nothing when opoznienie.txt is unreadable
    // Read for a key press or a scene command only.
    hall::AssignmentRead keys;
    std::array<hall::SceneRead, hall::kSceneCount> scenes{};
};

// Which of the hall's files an event needs besides the lamps, zones and
// delay: the keys and scenes, for a switch to a scene.
bool NeedsScenes(const Event& event);

// What one event does: the lamps to write when they differ from the file,
// the cause of that switch, and what could not be done.
struct Outcome {
    std::optional<hall::LampsLit> lamps;
    std::string cause;
    std::vector<std::string> notes;
};

// Zones, their holds and the switch-off delay, the wall keys and the
// automation's commands. No I/O and
// no clock: events, files and the time come in, lamp states come out.
class HallRules {
public:
    // Every input with a readable scene command file counts as held for the
    // delay, so that a restart leaves no zone lit for ever.
    void start(const HallFiles& files, TimePoint now);
    Outcome handle(const Event& event, const HallFiles& files, TimePoint now);
    // Releases every zone whose delay has passed by `now`.
    Outcome release(const HallFiles& files, TimePoint now);

    std::optional<TimePoint> nextDeadline() const;
    bool held(int input) const { return zones_[input - 1].held; }

private:
    struct Zone {
        bool held = false;
        bool moving = false;  // the last report was motion
        TimePoint until{};
    };

    Outcome motion(const Motion& event, const HallFiles& files, TimePoint now);
    Outcome key(const KeyPress& event, const HallFiles& files) const;
    Outcome scene(const std::string& cause, int scene, const HallFiles& files) const;

    std::array<Zone, hall::kSensorCount> zones_{};
};

}  // namespace sterownik
