#pragma once

#include "clock.h"
#include "events.h"
#include "lamp_state.h"
#include "scene_files.h"
#include "schedule_files.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sterownik {

inline constexpr Duration kDefaultDelay = std::chrono::minutes(15);

// The switch-off delay a saved text gives: its leading number in minutes, a
// fraction allowed; nothing when that is not a positive value.
std::optional<Duration> DelayOf(std::string_view text);
// The delay in force by what opoznienie.txt holds: a missing, unreadable or
// bad file counts as the default, for when people are there, the light must come on.
Duration DelayInForce(const hall::DelayRead& read);

// An input's scene command file as read at one event.
struct ZoneFile {
    enum class State { Missing, Read, Unreadable };
    State state = State::Missing;
    hall::LampsLit lamps{};
};

// The hall's files as read for one group of events: the rules see the hall
// as it is at that moment, and what the operator saves counts from the next
// group.
struct HallFiles {
    std::optional<hall::LampsLit> lamps;  // ../actual.txt; nothing when unreadable
    std::array<ZoneFile, hall::kSensorCount> zones{};
    Duration delay = kDefaultDelay;
    bool delayUnreadable = false;  // opoznienie.txt exists but cannot be read
    // Read for a key press or a scene command only.
    hall::AssignmentRead keys;
    std::array<hall::SceneRead, hall::kSceneCount> scenes{};
};

// Which of the hall's files an event needs besides the lamps, zones and
// delay: the keys and scenes, for a switch to a scene.
bool NeedsScenes(const Event& event);

// An event as it arrived, and where from when not from MQTT ("szafa1, wejście 0").
struct Arrival {
    Event event;
    TimePoint at;
    std::string source;
};

// One line of the log about one event or release, in order: a switch (with
// the number of lamps lit after it) or a note of what could not be done.
struct LogLine {
    std::string text;
    std::optional<int> lit;  // a switch: "text: świecą N lamp" once written
};

// What a group does: the lamps to write when they end differing from the
// file, and what each of its events and releases did.
struct Outcome {
    std::optional<hall::LampsLit> lamps;
    std::vector<LogLine> lines;
};

// Zones, their holds and the switch-off delay, the wall keys and the
// automation's commands. No I/O and no clock: events, files and the time
// come in, lamp states come out.
class HallRules {
public:
    // Every input with a readable scene command file counts as held for the delay,
    // so that a restart leaves no zone lit for ever.
    void start(const HallFiles& files, TimePoint now);
    // The events in their order, each after the releases due by its arrival,
    // then the releases due by `now`: as if they came one by one, against
    // files read once, with one write at the end.
    Outcome apply(const std::vector<Arrival>& group, const HallFiles& files, TimePoint now);

    std::optional<TimePoint> nextDeadline() const;
    bool held(int input) const { return zones_[input - 1].held; }
    // When a held zone is released unless motion comes first; nothing for a
    // free zone, or one a wired sensor holds.
    std::optional<TimePoint> releaseAt(int input) const;

private:
    struct Zone {
        bool held = false;
        bool moving = false;  // the last report was motion
        TimePoint until{};
        bool retrying = false;  // a release waits for a file to become readable
        bool level = false;     // a wired sensor's input is 1: no release
    };
    struct Pass;

    void handle(const Event& event, Pass& pass, TimePoint now);
    void motion(const Motion& event, Pass& pass, TimePoint now);
    void key(const KeyPress& event, Pass& pass) const;
    void scene(const std::string& cause, int scene, Pass& pass) const;
    void release(Pass& pass, TimePoint now);

    std::array<Zone, hall::kSensorCount> zones_{};
};

}  // namespace sterownik
