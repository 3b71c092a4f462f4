#pragma once

// What the ledger keeps of the hall's lamps, in whole units so that no sum drifts.

#include "lamp_state.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace hall {

inline const std::filesystem::path kLedgerPath = "dziennik.sqlite";

// The ledger counts on the wall clock, in milliseconds: its days are the hall's local dates.
using WallTime = std::chrono::sys_time<std::chrono::milliseconds>;
using LocalDay = std::chrono::local_days;

// The largest value a counter holds: SQLite's largest integer. A counter
// stops there rather than wrap, as DALI-2 gear's own counters do.
inline constexpr std::int64_t kCounterLimit = INT64_MAX;
inline constexpr double kMicrojoulesPerKwh = 3.6e12;
inline constexpr double kMsPerHour = 3.6e6;

// `total + more`, stopping at kCounterLimit.
std::int64_t SaturatedSum(std::int64_t total, std::int64_t more);

// One lamp's figures, over a day or in total.
struct LampFigures {
    std::int64_t litMs = 0;
    std::int64_t switchOns = 0;
    std::int64_t energyMicrojoules = 0;
    // Each counter stops at kCounterLimit.
    void add(const LampFigures& more);
    bool operator==(const LampFigures&) const = default;
};

using LampTotals = std::array<LampFigures, kLampCount>;

struct DayFigures {
    LampTotals lamps{};
    std::int64_t gapMs = 0;  // no controller ran
    bool operator==(const DayFigures&) const = default;
};

// What the ledger last knew, to go on from after a restart.
struct LastSeen {
    WallTime at;
    LampsLit lamps{};
    bool operator==(const LastSeen&) const = default;
};

// A span when no controller ran.
struct GapSpan {
    WallTime from, to;
    bool operator==(const GapSpan&) const = default;
};

// A lamp's failure, as the ledger keeps it: `kind` in the log's words.
struct FailureSpan {
    int lamp = 0;
    std::string kind;
    WallTime begun;
    std::optional<WallTime> ended;  // nothing: still open
    bool operator==(const FailureSpan&) const = default;
};

// With a dot and this many decimals, whatever the locale: "1.044".
std::string DecimalText(double value, int decimals);

// "2026-12-09"; nothing for anything else.
std::string DayText(LocalDay day);
std::optional<LocalDay> ParseDay(std::string_view text);

}  // namespace hall
