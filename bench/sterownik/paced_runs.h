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

namespace bench {

// One event every 50 ms: the one hall's pace, and its floors'.
inline constexpr Duration kOneHallPeriod = std::chrono::milliseconds(50);
// The paced halls' switch-off delay, 30 ms: a zone is released between two
// events of its hall, never during one.
inline constexpr std::string_view kPacedDelayMinutes = "0.0005";

// Motion on a ready hall's next input at the one hall's pace, `events` of
// them, each timed into `tracker` (the first on input 1).
hall::Status PaceOneHall(DriverClient& client, const Halls& halls, int events, EventTracker& tracker);

// Motion on the one hall's next input at its pace, each timed to its zone's last lamp.
hall::Status OneHall(DriverClient& client, const std::filesystem::path& root, int port, Figures& figures);

// Where the many halls' controllers flush: this machine's disk, or one made
// slow on purpose (the LD_PRELOAD library of slow_disk.cpp).
enum class Disk { This, Slow };

// Many halls on one broker, each sent motion at its own pace for a minute.
hall::Status ManyHalls(DriverClient& client, BrokerProcess& broker, const std::filesystem::path& root, Disk disk,
                       ManyHallsFigures& figures);

}  // namespace bench
