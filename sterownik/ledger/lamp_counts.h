#pragma once

#include "ledger_records.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <optional>

namespace sterownik::ledger {

using hall::DayFigures;
using hall::kCounterLimit;
using hall::LampFigures;
using hall::LastSeen;
using hall::LocalDay;
using hall::WallTime;

// The hall's calendar, given by the wiring (the system's time zone) or a test.
class Calendar {
public:
    virtual ~Calendar() = default;
    virtual LocalDay dayOf(WallTime at) const = 0;
    // When the local date after `at`'s begins.
    virtual WallTime nextDay(WallTime at) const = 0;
};

// Rated power per lamp, in watts; nothing: hours but no energy.
using Powers = std::array<std::optional<double>, hall::kLampCount>;

// Lit time, switch-ons and energy of every lamp, by the hall's local day.
// No I/O and no clock: the lamps as read and the time come in, the figures
// gained since the last take go out, for the ledger to add to what it keeps.
// A lamp is lit while its value in actual.txt is the lit value.
class LampCounts {
public:
    explicit LampCounts(const Calendar& calendar) : calendar_(calendar) {}

    // A controller starts at `now` with these lamps. The time since the
    // ledger last counted is a gap, neither lit nor dark; a lamp dark then
    // and lit now was switched on once meanwhile. Without `last` (a new
    // ledger) nothing before `now` is known, and nothing counts as switched on.
    void start(const hall::LampsLit& lamps, WallTime now, const std::optional<LastSeen>& last);
    // The lamps as read at `now`: the time since the last look counts as lit
    // for the lamps lit then, and each lamp dark then and lit now is switched
    // on once. A wall clock set back counts no time, and goes on from `now`.
    void observe(const hall::LampsLit& lamps, WallTime now);
    // The rated powers from `now` on; the time before counts at the powers before.
    void setPowers(const Powers& watts, WallTime now);

    // The days that gained since the last take, with what they gained.
    std::map<LocalDay, DayFigures> take() { return std::exchange(gained_, {}); }
    const LastSeen& last() const { return last_; }

private:
    void moveTo(const hall::LampsLit& lamps, WallTime now, bool gap);
    void count(WallTime from, WallTime to, bool gap);

    const Calendar& calendar_;
    std::array<std::int64_t, hall::kLampCount> milliwatts_{};  // 0: no rated power
    LastSeen last_{};
    bool started_ = false;
    std::map<LocalDay, DayFigures> gained_;
};

}  // namespace sterownik::ledger
