#pragma once

#include "latency.h"

#include <cstddef>
#include <string>
#include <vector>

namespace bench {

// Everything one run measured.
struct Figures {
    LatencySummary brokerRoundTrip;  // floor: a client's own message through the broker
    LatencySummary durableReplace;   // floor: one replace of actual.txt
    LatencySummary oneHall;          // motion sent to the zone's last lamp received
    std::size_t oneHallSent = 0;
    int halls = 0;
    std::size_t manySent = 0;
    LatencySummary many;
    long peakResidentMaxKiB = 0;
    long peakResidentMedianKiB = 0;
    long privateMaxKiB = 0;            // at the end
    long proportionalMaxKiB = 0;       // at the end
    double brokerCpuPercent = 0;       // of one core, over the many halls' events
    double controllersCpuPercent = 0;  // all of them together
    double driverCpuPercent = 0;       // the benchmark's own client
};

struct Row {
    std::string measure;
    std::string value;
    std::string goal;     // empty: a figure without a goal
    std::string verdict;  // "met", or NOT MET and by how much
};

// The goals: the one hall's p99 and median against the floors, none lost
// among the many halls, each controller's peak memory.
std::vector<Row> ReportRows(const Figures& figures);

// A Markdown table, its columns aligned.
std::string FormatTable(const std::vector<Row>& rows);

}  // namespace bench
