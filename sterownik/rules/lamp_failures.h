#pragma once

#include "clock.h"
#include "lamp_state.h"

#include <map>
#include <optional>
#include <set>
#include <string_view>
#include <vector>

namespace sterownik {

// What one read of a module says of one lamp.
struct LampSignal {
    int lamp;
    bool readBack;  // the lamp's real state (zwrotne); otherwise its failure bit (awarie)
    bool value;
    bool operator==(const LampSignal&) const = default;
};

enum class FailureKind { Reported, Mismatch };  // a failure bit set; the read-back not as the lamp state says
// The words the log gives each kind.
std::string_view FailureReason(FailureKind kind);

// The lamps' failures, from their modules' failure bits and read-backs. A
// read-back may lag its lamp by a contactor's travel and a read's interval:
// only a difference that lasts kMismatchLimit is a failure. No I/O and no
// clock: readings, lamp states and the time come in, changes come out, each
// failure once when it appears and once when it clears. Nothing is watched
// until watch() says which lamps are.
class LampFailures {
public:
    struct Change {
        int lamp;
        FailureKind kind;
        bool failed;
        bool operator==(const Change&) const = default;
    };
    static constexpr Duration kMismatchLimit = std::chrono::seconds(2);

    // Readings as read at `now`, against the lamps as the hall's lamp state says now.
    std::vector<Change> read(const std::vector<LampSignal>& readings, const hall::LampsLit& lamps, TimePoint now);
    // The hall's lamp state changed at `now`: a read-back that now agrees
    // clears; one that now differs starts its time.
    std::vector<Change> lampsChanged(const hall::LampsLit& lamps, TimePoint now);
    // Differences that have lasted kMismatchLimit by `now` become failures.
    std::vector<Change> settle(TimePoint now);
    std::optional<TimePoint> nextDeadline() const;
    // Only these lamps are watched now: the failures of the others clear,
    // and their readings are ignored.
    std::vector<Change> watch(const std::set<int>& reported, const std::set<int>& readBack);
    bool failed(int lamp) const { return failure(lamp).has_value(); }
    std::optional<FailureKind> failure(int lamp) const;
    // A failure begun before a restart: it lasts until a read shows the lamp
    // sound. False when the lamp is not watched for it any more.
    bool assume(int lamp, FailureKind kind);
    // The lamps watched, either way.
    std::set<int> watched() const;

private:
    struct ReadBack {
        std::optional<bool> value;         // as last read
        std::optional<TimePoint> differs;  // since when it differs from the lamp
        bool failed = false;
    };
    static void compare(int lamp, ReadBack& readBack, bool lit, TimePoint now, std::vector<Change>& changes);
    static void due(int lamp, ReadBack& readBack, TimePoint now, std::vector<Change>& changes);

    std::map<int, bool> reported_;  // a watched lamp's failure bit
    std::map<int, ReadBack> readBacks_;
};

}  // namespace sterownik
