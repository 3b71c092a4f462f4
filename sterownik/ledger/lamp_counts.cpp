#include "lamp_counts.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace sterownik::ledger {
namespace {

// mW × ms is µJ; a product past the limit stops there.
std::int64_t Energy(std::int64_t milliwatts, std::int64_t ms) {
    if (milliwatts == 0 || ms == 0) return 0;
    return ms > kCounterLimit / milliwatts ? kCounterLimit : milliwatts * ms;
}

}  // namespace

void LampCounts::start(const hall::LampsLit& lamps, WallTime now, const std::optional<LastSeen>& last) {
    started_ = true;
    last_ = last.value_or(LastSeen{now, lamps});
    moveTo(lamps, now, true);
}

void LampCounts::observe(const hall::LampsLit& lamps, WallTime now) {
    if (!started_) return start(lamps, now, std::nullopt);
    moveTo(lamps, now, false);
}

// The time since the last look, then the lamps switched on since.
void LampCounts::moveTo(const hall::LampsLit& lamps, WallTime now, bool gap) {
    if (now > last_.at) count(last_.at, now, gap);
    for (int i = 0; i < hall::kLampCount; ++i)
        if (lamps[i] && !last_.lamps[i]) gained_[calendar_.dayOf(now)].lamps[i].add({0, 1, 0});
    last_ = {now, lamps};
}

void LampCounts::setPowers(const Powers& watts, WallTime now) {
    if (started_) observe(last_.lamps, now);
    for (int i = 0; i < hall::kLampCount; ++i)
        milliwatts_[i] = watts[i] && *watts[i] > 0 ? std::llround(std::min(*watts[i], 1e9) * 1000) : 0;
}

// Split at each local midnight, so that every day gets its own share.
void LampCounts::count(WallTime from, WallTime to, bool gap) {
    while (from < to) {
        // A calendar that gives no later day cannot split: the rest goes to this day.
        const WallTime next = calendar_.nextDay(from);
        const WallTime end = next > from ? std::min(to, next) : to;
        const std::int64_t ms = (end - from).count();
        DayFigures& day = gained_[calendar_.dayOf(from)];
        if (gap) {
            day.gapMs = hall::SaturatedSum(day.gapMs, ms);
        } else {
            for (int i = 0; i < hall::kLampCount; ++i)
                if (last_.lamps[i]) day.lamps[i].add({ms, 0, Energy(milliwatts_[i], ms)});
        }
        from = end;
    }
}

}  // namespace sterownik::ledger
