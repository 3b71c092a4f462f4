#pragma once

#include "lamp_state.h"

#include <variant>

namespace sterownik {

// What the hall's devices report. A closed set: every kind is handled by the
// rules, and a new kind is a new alternative here, which the rules and the
// topics then must handle before anything compiles.
struct Motion {
    int input = 1;  // 1 to 8
    bool present = true;
    // A wired input's level: the zone stays held while it is 1, and its delay
    // counts from when it went to 0. A report (MQTT) only restarts the delay.
    bool level = false;
    bool operator==(const Motion&) const = default;
};
struct KeyPress {
    int key = 0;  // 0 for A1 to 23 for F4
    bool operator==(const KeyPress&) const = default;
};
// Commands from the building's automation, such as Home Assistant.
struct SetLamp {
    int lamp = 1;  // 1 to 108
    bool lit = true;
    bool operator==(const SetLamp&) const = default;
};
// Several lamps in one switch, as the building's management system writes them.
struct SetLamps {
    hall::LampsLit which{};  // the lamps switched
    hall::LampsLit lit{};    // and whether each is lit
    bool operator==(const SetLamps&) const = default;
};
struct SetScene {
    int scene = 1;  // 1 to 8
    bool operator==(const SetScene&) const = default;
};
struct AllOff {
    bool operator==(const AllOff&) const = default;
};
using Event = std::variant<Motion, KeyPress, SetLamp, SetLamps, SetScene, AllOff>;

// A visitor made of one lambda per kind: std::visit over it does not compile
// while a kind has no lambda, so no kind is ever forgotten.
template <class... Handlers>
struct ForEachKind : Handlers... {
    using Handlers::operator()...;
};
template <class... Handlers>
ForEachKind(Handlers...) -> ForEachKind<Handlers...>;

}  // namespace sterownik
