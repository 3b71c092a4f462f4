#pragma once

#include "bench_halls.h"
#include "broker_process.h"
#include "driver_client.h"
#include "event_tracker.h"
#include "latency.h"
#include "report.h"
#include "result.h"

#include <chrono>
#include <filesystem>
#include <string_view>
#include <vector>

namespace bench {

// One event every 50 ms: the one hall's pace, and its floors'.
inline constexpr Duration kOneHallPeriod = std::chrono::milliseconds(50);
// The paced halls' switch-off delay, 30 ms: a zone is released between two
// events of its hall, never during one.
inline constexpr std::string_view kPacedDelayMinutes = "0.0005";
// Every lamp's power, so that a hall's ledger counts energy too.
inline constexpr std::string_view kLampPowers = "moc 1-108 58\n";

// One side's events over blocks that take turns with another's.
struct PacedSamples {
    std::size_t sent = 0;
    std::vector<Duration> latencies;
    PacedFigures summary() const { return {sent, Summarize(latencies)}; }
};

// Motion on a ready hall's next input at the one hall's pace, `events` of
// them (the first on input 1), each timed and added to `samples`.
hall::Status PaceBlock(DriverClient& client, const Halls& halls, int events, PacedSamples& samples);

// The halls laid out, started and waited for until ready.
hall::Status StartReady(DriverClient& client, Halls& halls, int port);

// Motion on the one hall's next input at its pace, each timed to its zone's
// last lamp: a hall with the ledger, one without, and one with the ledger and
// its web panel, live views connected throughout, in blocks that take turns.
hall::Status OneHall(DriverClient& client, const std::filesystem::path& root, int port, Figures& figures);

// Where the many halls' controllers flush: this machine's disk, or one made
// slow on purpose (the LD_PRELOAD library of slow_disk.cpp).
enum class Disk { This, Slow };

// Many halls on one broker, each sent motion at its own pace for a minute.
hall::Status ManyHalls(DriverClient& client, BrokerProcess& broker, const std::filesystem::path& root, Disk disk,
                       ManyHallsFigures& figures);

}  // namespace bench
