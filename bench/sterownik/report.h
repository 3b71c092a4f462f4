#pragma once

#include "latency.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace bench {

// Each controller's ledger commits a minute over a run.
struct CommitRates {
    std::size_t ledgers = 0;  // those counted
    double mean = 0, fewest = 0, most = 0;
};

// The many halls' run, on one disk.
struct ManyHallsFigures {
    int halls = 0;
    std::size_t sent = 0;
    LatencySummary latency;  // of the events back: motion sent to the zone's last lamp received
    long peakResidentMaxKiB = 0;
    long peakResidentMedianKiB = 0;
    long privateMaxKiB = 0;            // at the end, the most of any controller
    long proportionalMaxKiB = 0;       // at the end, the most of any controller
    double brokerCpuPercent = 0;       // of one core, over the events
    double controllersCpuPercent = 0;  // all of them together
    double driverCpuPercent = 0;       // the benchmark's own client
    Duration wall{};                   // the events and the wait for the late ones
    // Served by the slowed disk over `wall`, and how long it held them; none on this machine's disk.
    unsigned long long flushes = 0;
    Duration diskBusy{};
    CommitRates ledgerCommits;  // from just before the events to just after the wait for the late ones
};

// One hall's burst of events, through a broker of its own.
struct BurstFigures {
    std::size_t events = 0;
    std::optional<Duration> acknowledged;  // from the first sent to the broker's last acknowledgement
    std::size_t logged = 0;                // the controller's log lines about events
    std::size_t replaces = 0;              // renames onto actual.txt
    std::optional<Duration> lastWritten;   // from the first sent to the last rename
    int litExpected = 0;
    std::optional<int> litFound;  // nothing: actual.txt unreadable
    bool asRules = false;         // actual.txt holds exactly what the rules give
};

// Key presses on a Modbus module's discrete inputs, each timed from the input
// raised to the module's receipt of the write that set the last coil the
// press changes.
struct KeyToCoilFigures {
    std::size_t pressed = 0;
    LatencySummary latency;  // of the presses whose coils were written
};

// The controller on Modbus TCP modules of the benchmark's own, without a broker.
struct ModbusFigures {
    int pollMs = 0;             // the modules' poll interval, as configured
    LatencySummary writeFloor;  // floor: one write of 108 coils by the benchmark's own client
    KeyToCoilFigures oneModule;
    // Switches of all 108 lamps on the one module, and the write requests it took for each.
    std::size_t switches = 0;
    std::size_t mostWrites = 0, fewestWrites = 0;
    std::size_t coilRuns = 0;  // runs of consecutive coils in its mapping
    // Module A of two, while B answers and while B takes requests and never answers.
    KeyToCoilFigures answering, frozen;
    std::size_t unanswered = 0;  // requests B took while frozen
    // Module A while B stays frozen and sterownik.conf is read again without
    // pause, each reload rewiring B (its worker stopped inside a request).
    KeyToCoilFigures reloading;
    std::size_t reloads = 0;
};

// The one hall's events at its pace.
struct PacedFigures {
    std::size_t sent = 0;
    LatencySummary latency;  // of the events back: motion sent to the zone's last lamp received
};

// The one hall serving the building management system over Modbus TCP:
// its events without a client, then beside one that reads the hall as fast
// as it is answered.
struct BmsFigures {
    PacedFigures alone, read;
    std::size_t reads = 0;   // requests answered: of the 108 coils and of the 3 input registers, in turn
    std::size_t failed = 0;  // requests and connections that failed
    std::string firstFailure;
    Duration reading{};  // from the client's start to its stop
};

// The one hall's web panel with live views connected throughout its run.
struct PanelFigures {
    std::size_t panels = 0;         // opened
    std::size_t connected = 0;      // established before the first block
    std::size_t openAfter = 0;      // still open after the last block
    std::size_t received = 0;       // messages, all panels together, over the blocks of all sides
    std::size_t fewestInBlock = 0;  // the fewest one panel received in one block
    Duration shortestBlock{};
    // After the blocks, the panels connected: the controller's PSS and own
    // memory (RssAnon), and its neighbour's, the same hall without the panel.
    long proportionalKiB = 0, privateKiB = 0;
    long withoutPanelKiB = 0, withoutPanelPrivateKiB = 0;
    // Over the blocks of all sides, of one core: the two controllers, and the
    // benchmark's thread of the panels, which shares the machine with them.
    double cpuPercent = 0, withoutPanelCpuPercent = 0, clientsCpuPercent = 0;
};

// Everything one run measured.
struct Figures {
    LatencySummary brokerRoundTrip;  // floor: a client's own message through the broker
    LatencySummary durableReplace;   // floor: one replace of actual.txt
    // Motion sent to the zone's last lamp received: the hall with its ledger,
    // as by default, one with "dziennik brak", and one with its ledger and its
    // web panel watched by live views, their blocks taking turns.
    PacedFigures oneHall, oneHallWithoutLedger, oneHallWithPanels;
    PanelFigures panels;
    ManyHallsFigures many;         // on this machine's disk
    ManyHallsFigures slow;         // on the slowed disk
    BurstFigures burst;            // the broker set as the package sets a hall's
    BurstFigures burstAtDefaults;  // the broker at Debian's defaults
    ModbusFigures modbus;
    BmsFigures bms;
};

struct Row {
    std::string measure;
    std::string value;
    std::string goal;     // empty: a figure without a goal
    std::string verdict;  // "met", or NOT MET and by how much
};

// The goals: the one hall's p99 and median against the floors, its p99 with
// the ledger within 10 % of its p99 without, and with the panels within 10 %
// of its p99 without them, their controller's PSS; none lost and p99 within a
// second among the many halls on either disk, each controller's
// proportional memory and its ledger's commits a minute at most; the burst
// all logged, carried out as the rules say, with few replaces; the Modbus
// rows and the BMS rows.
std::vector<Row> ReportRows(const Figures& figures);

// The floors' and the one hall's rows alone, the panels' included.
std::vector<Row> OneHallRows(const Figures& figures);

// The Modbus rows alone: key to coil within the poll interval and a little,
// one write request per run of consecutive coils, and a module that does not
// answer costing the other's p99 little.
std::vector<Row> ModbusRows(const ModbusFigures& figures);

// The BMS rows alone: the client's reads a second, which must be some, and
// the hall's p99 with the client within 10 % of its p99 without.
std::vector<Row> BmsRows(const BmsFigures& figures);
// The burst's rows alone; at Debian's defaults, for information, what the broker dropped.
std::vector<Row> BurstRows(const BurstFigures& figures, const BurstFigures& atDefaults);

// A Markdown table, its columns aligned.
std::string FormatTable(const std::vector<Row>& rows);

}  // namespace bench
