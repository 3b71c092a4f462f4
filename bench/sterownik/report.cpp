#include "report.h"

#include "slow_disk.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <initializer_list>

namespace bench {
namespace {

constexpr double kRatioGoal = 2.0;
constexpr double kP99GoalMs = 20.0;
constexpr double kManyP99GoalMs = 1000.0;
// With the ledger's SQLite connection and its writer thread.
constexpr double kProportionalGoalMiB = 2.5;
// The ledger commits every 10 s while a lamp is lit, every minute otherwise.
constexpr double kLedgerCommitsGoalPerMinute = 10.0;
constexpr std::size_t kBurstEventsPerReplace = 10;
// Key to coil: a press waits for the next poll, then little more.
constexpr double kPollMedianSlackMs = 2.0;
constexpr double kPollP99SlackMs = 10.0;
// What a module that does not answer may cost the other's p99.
constexpr double kFrozenSlackMs = 5.0;
// What a BMS reading the hall without pause may cost its events' p99.
constexpr double kBmsSlackPercent = 10.0;
// What the ledger may cost the one hall's p99.
constexpr double kLedgerSlackPercent = 10.0;
// What live views on the web panel may cost the one hall's p99, and its controller's memory with them.
constexpr double kPanelSlackPercent = 10.0;
constexpr long kPanelProportionalGoalKiB = 3072;

std::string Fixed(double value, int decimals) {
    std::array<char, 64> text;
    std::snprintf(text.data(), text.size(), "%.*f", decimals, value);
    return text.data();
}

std::string Ms(Duration d) { return Fixed(Milliseconds(d), 2) + " ms"; }
double MiBOf(long kib) { return static_cast<double>(kib) / 1024.0; }
std::string MiB(long kib) { return Fixed(MiBOf(kib), 2) + " MiB"; }

// At most `goal`: met, or how far over it the value is.
std::string AtMost(double value, double goal, const std::string& unit, int decimals) {
    if (value <= goal) return "met";
    return "NOT MET: " + Fixed(value - goal, decimals) + unit + " over";
}

// A goal of samples when there are some; without any, nothing is met.
std::string Sampled(std::size_t count, const std::string& verdict) {
    return count > 0 ? verdict : "NOT MET: none measured";
}

std::string MedianAndP99(const LatencySummary& s) { return Ms(s.median) + " / " + Ms(s.p99); }

std::string Paced(const PacedFigures& f) {
    return MedianAndP99(f.latency) + " (" + std::to_string(f.latency.count) + " / " + std::to_string(f.sent) + " back)";
}

std::string Percent(double value) { return (value >= 0 ? "+" : "") + Fixed(value, 1) + " %"; }

// How far the p99 of `other` is over that of `base`, in per cent.
double P99Over(const PacedFigures& base, const PacedFigures& other) {
    const double p99 = Milliseconds(base.latency.p99);
    return p99 > 0 ? 100.0 * (Milliseconds(other.latency.p99) - p99) / p99 : 0;
}

// Two ways of one hall in blocks that take turns: a lost event is later than any p99.
std::string TurnsVerdict(const PacedFigures& base, const PacedFigures& other, double slackPercent) {
    if (base.latency.count == 0 || other.latency.count == 0) return "NOT MET: none measured";
    const std::size_t lost = base.sent - base.latency.count + (other.sent - other.latency.count);
    if (lost > 0) return "NOT MET: " + std::to_string(lost) + " events lost";
    return AtMost(P99Over(base, other), slackPercent, " percentage points", 1);
}

std::vector<Row> Floors(const Figures& f) {
    return {
        {"floor: broker round trip, every 50 ms, median of " + std::to_string(f.brokerRoundTrip.count),
         Ms(f.brokerRoundTrip.median) + " (p99 " + Ms(f.brokerRoundTrip.p99) + ")", "", ""},
        {"floor: durable replace of actual.txt, every 50 ms, median of " + std::to_string(f.durableReplace.count),
         Ms(f.durableReplace.median) + " (p99 " + Ms(f.durableReplace.p99) + ")", "", ""},
    };
}

std::vector<Row> OneHall(const Figures& f) {
    const LatencySummary& on = f.oneHall.latency;
    const double floors = Milliseconds(f.brokerRoundTrip.median) + Milliseconds(f.durableReplace.median);
    const double ratio = floors > 0 ? Milliseconds(on.median) / floors : 0;
    const std::string hall = "1 hall, ledger on: ";
    const double over = P99Over(f.oneHallWithoutLedger, f.oneHall);
    return {
        {"1 hall, ledger off (dziennik brak): motion to last lamp, median / p99", Paced(f.oneHallWithoutLedger), "",
         ""},
        {hall + "events back / sent", std::to_string(on.count) + " / " + std::to_string(f.oneHall.sent), "", ""},
        {hall + "motion to last lamp, median", Ms(on.median), "", ""},
        {hall + "median / sum of floors", Fixed(ratio, 2), "at most 2", AtMost(ratio, kRatioGoal, "", 2)},
        {hall + "motion to last lamp, p99", Ms(on.p99), "at most 20 ms",
         AtMost(Milliseconds(on.p99), kP99GoalMs, " ms", 2)},
        {"1 hall: p99 with the ledger over p99 without", Percent(over),
         "at most +" + Fixed(kLedgerSlackPercent, 0) + " %",
         TurnsVerdict(f.oneHallWithoutLedger, f.oneHall, kLedgerSlackPercent)},
    };
}

// Connected throughout, and each fed at least the heartbeat, one a second, but for one at a block's ends.
std::string Fed(const PanelFigures& f) {
    if (f.connected < f.panels) return "NOT MET: " + std::to_string(f.panels - f.connected) + " not connected";
    if (f.openAfter < f.panels) return "NOT MET: " + std::to_string(f.panels - f.openAfter) + " closed meanwhile";
    const auto seconds = std::chrono::floor<std::chrono::seconds>(f.shortestBlock).count();
    const auto beats = static_cast<std::size_t>(std::max<long long>(seconds - 1, 1));
    if (f.fewestInBlock < beats)
        return "NOT MET: " + std::to_string(f.fewestInBlock) + " messages in a block, " + std::to_string(beats) +
               " heartbeats due";
    return "met";
}

std::vector<Row> Panels(const Figures& f) {
    const PanelFigures& p = f.panels;
    const std::string panels = "1 hall, " + std::to_string(p.panels) + " panels";
    const std::string kib = " KiB";
    return {
        {panels + " connected: motion to last lamp, median / p99",
         Paced(f.oneHallWithPanels) + ", p99 " + Percent(P99Over(f.oneHall, f.oneHallWithPanels)),
         "p99 within " + Fixed(kPanelSlackPercent, 0) + " % of the same hall with none",
         TurnsVerdict(f.oneHall, f.oneHallWithPanels, kPanelSlackPercent)},
        {panels +
             ": connected / open after the blocks; messages received in the blocks (fewest of a panel in one "
             "block of " +
             Fixed(std::chrono::duration<double>(p.shortestBlock).count(), 1) + " s)",
         std::to_string(p.connected) + " / " + std::to_string(p.openAfter) + "; " + std::to_string(p.received) + " (" +
             std::to_string(p.fewestInBlock) + ")",
         "all throughout, each at least a heartbeat a second", Sampled(p.panels, Fed(p))},
        {panels + ": CPU over the blocks of all sides, of one core: controller (the same hall without the panel), "
                  "the benchmark's thread of the panels",
         Fixed(p.cpuPercent, 1) + " % (" + Fixed(p.withoutPanelCpuPercent, 1) + " %), " +
             Fixed(p.clientsCpuPercent, 1) + " %",
         "", ""},
        {panels + ": controller's PSS, own memory (RssAnon); the same hall without the panel",
         std::to_string(p.proportionalKiB) + kib + ", " + std::to_string(p.privateKiB) + kib + "; " +
             std::to_string(p.withoutPanelKiB) + kib + ", " + std::to_string(p.withoutPanelPrivateKiB) + kib,
         "at most " + std::to_string(kPanelProportionalGoalKiB) + kib,
         Sampled(
             static_cast<std::size_t>(p.proportionalKiB > 0),
             AtMost(static_cast<double>(p.proportionalKiB), static_cast<double>(kPanelProportionalGoalKiB), kib, 0))},
    };
}

std::string Commits(const CommitRates& r) {
    return Fixed(r.mean, 1) + " (" + Fixed(r.fewest, 1) + ", " + Fixed(r.most, 1) + ") of " +
           std::to_string(r.ledgers) + " ledgers";
}

// The goals of either disk; what only one of them shows is added by the caller.
std::vector<Row> ManyHalls(const ManyHallsFigures& f, const std::string& disk) {
    const std::string halls = std::to_string(f.halls) + " halls, " + disk + ": ";
    const std::size_t lost = f.sent - f.latency.count;
    return {
        {halls + "events whose lamp change came back / sent",
         std::to_string(f.latency.count) + " / " + std::to_string(f.sent), "none lost",
         lost == 0 ? "met" : "NOT MET: " + std::to_string(lost) + " lost"},
        {halls + "motion to last lamp, median / p99", Ms(f.latency.median) + " / " + Ms(f.latency.p99),
         "p99 at most 1 s", AtMost(Milliseconds(f.latency.p99), kManyP99GoalMs, " ms", 2)},
        {halls + "per controller at the end: own memory (RssAnon) / PSS, max",
         MiB(f.privateMaxKiB) + " / " + MiB(f.proportionalMaxKiB),
         "PSS at most " + Fixed(kProportionalGoalMiB, 1) + " MiB",
         AtMost(MiBOf(f.proportionalMaxKiB), kProportionalGoalMiB, " MiB", 2)},
        {halls + "peak RSS per controller, max (median)",
         MiB(f.peakResidentMaxKiB) + " (" + MiB(f.peakResidentMedianKiB) + ")", "", ""},
        {halls + "ledger commits a minute per controller, mean (fewest, most)", Commits(f.ledgerCommits),
         "at most " + Fixed(kLedgerCommitsGoalPerMinute, 0) + " a minute",
         Sampled(f.ledgerCommits.ledgers, AtMost(f.ledgerCommits.most, kLedgerCommitsGoalPerMinute, " a minute", 1))},
    };
}

std::vector<Row> ThisDisk(const ManyHallsFigures& f) {
    std::vector<Row> rows = ManyHalls(f, "this disk");
    const std::string halls = std::to_string(f.halls) + " halls, this disk: ";
    rows.push_back({halls + "broker CPU, of one core", Fixed(f.brokerCpuPercent, 1) + " %", "", ""});
    rows.push_back({halls + "all controllers' CPU, of one core", Fixed(f.controllersCpuPercent, 1) + " %", "", ""});
    rows.push_back({halls + "benchmark client's CPU, of one core", Fixed(f.driverCpuPercent, 1) + " %", "", ""});
    return rows;
}

std::vector<Row> SlowDisk(const ManyHallsFigures& f) {
    std::vector<Row> rows = ManyHalls(f, "slow disk");
    const double seconds = std::chrono::duration<double>(f.wall).count();
    const double held = f.flushes > 0 ? Milliseconds(f.diskBusy) / static_cast<double>(f.flushes) : 0;
    const double busy = seconds > 0 ? 100.0 * std::chrono::duration<double>(f.diskBusy).count() / seconds : 0;
    rows.push_back({std::to_string(f.halls) + " halls, slow disk: flushes, one at a time, each " +
                        Fixed(slow_disk::kFlushMicroseconds / 1000.0, 0) + " ms + this disk's",
                    std::to_string(f.flushes) + " in " + Fixed(seconds, 1) + " s, " + Fixed(held, 2) +
                        " ms each, disk busy " + Fixed(busy, 1) + " %",
                    "", ""});
    return rows;
}

std::string ActualFile(const BurstFigures& f) {
    if (!f.litFound) return "unreadable";
    if (f.asRules) return "as the rules say, " + std::to_string(*f.litFound) + " lamps lit";
    return std::to_string(*f.litFound) + " lamps lit, the rules give " + std::to_string(f.litExpected);
}

}  // namespace

std::vector<Row> BurstRows(const BurstFigures& f, const BurstFigures& atDefaults) {
    const std::string burst = "burst, 1 hall, broker set by hala.conf: ";
    const std::string logged = f.logged == f.events  ? "met"
                               : f.logged < f.events ? "NOT MET: " + std::to_string(f.events - f.logged) + " missing"
                                                     : "NOT MET: " + std::to_string(f.logged - f.events) + " too many";
    const std::size_t allowed = f.events / kBurstEventsPerReplace;
    const std::string perReplace =
        f.replaces > 0 ? "one per " + Fixed(static_cast<double>(f.events) / static_cast<double>(f.replaces), 1)
                       : "none";
    return {
        {burst + "events sent at once, all acknowledged by the broker in",
         std::to_string(f.events) + " in " + (f.acknowledged ? Ms(*f.acknowledged) : "- (not all acknowledged)"), "",
         ""},
        {burst + "events logged by the controller", std::to_string(f.logged) + " / " + std::to_string(f.events), "all",
         logged},
        {burst + "actual.txt at the end", ActualFile(f), "as the rules say", f.asRules ? "met" : "NOT MET"},
        {burst + "durable replaces of actual.txt", std::to_string(f.replaces) + " (" + perReplace + " events)",
         "at most " + std::to_string(allowed) + " (1 per 10 events)",
         AtMost(static_cast<double>(f.replaces), static_cast<double>(allowed), "", 0)},
        {burst + "first event sent to last replace", f.lastWritten ? Ms(*f.lastWritten) : "- (none)", "", ""},
        // The controller logs every event it is handed: what is missing, the broker dropped.
        {"burst, 1 hall, broker at Debian's defaults (1000 queued): events the broker dropped",
         std::to_string(atDefaults.events - std::min(atDefaults.logged, atDefaults.events)) + " of " +
             std::to_string(atDefaults.events) + " (" + std::to_string(atDefaults.logged) + " logged)",
         "", ""},
    };
}

namespace {

std::string Carried(const KeyToCoilFigures& f) {
    return std::to_string(f.latency.count) + " / " + std::to_string(f.pressed);
}

std::string AllCarried(std::initializer_list<const KeyToCoilFigures*> runs) {
    std::size_t pressed = 0, lost = 0;
    for (const KeyToCoilFigures* run : runs) pressed += run->pressed, lost += run->pressed - run->latency.count;
    if (pressed == 0) return "NOT MET: none pressed";
    return lost == 0 ? "met" : "NOT MET: " + std::to_string(lost) + " lost";
}

std::vector<Row> ModbusKeys(const ModbusFigures& f) {
    const std::string one = "Modbus, 1 module: ";
    const LatencySummary& key = f.oneModule.latency;
    const double medianGoal = f.pollMs + kPollMedianSlackMs, p99Goal = f.pollMs + kPollP99SlackMs;
    return {
        {"Modbus, 1 module polled every " + std::to_string(f.pollMs) +
             " ms: key presses whose coils were written / pressed",
         Carried(f.oneModule), "all", AllCarried({&f.oneModule})},
        {one + "key raised to last coil written, median", Ms(key.median),
         "at most " + Fixed(medianGoal, 0) + " ms (poll + " + Fixed(kPollMedianSlackMs, 0) + " ms)",
         Sampled(key.count, AtMost(Milliseconds(key.median), medianGoal, " ms", 2))},
        {one + "key raised to last coil written, p99", Ms(key.p99),
         "at most " + Fixed(p99Goal, 0) + " ms (poll + " + Fixed(kPollP99SlackMs, 0) + " ms)",
         Sampled(key.count, AtMost(Milliseconds(key.p99), p99Goal, " ms", 2))},
        {one + "write requests per switch of all 108 lamps, most (fewest) of " + std::to_string(f.switches),
         std::to_string(f.mostWrites) + " (" + std::to_string(f.fewestWrites) + ")",
         "at most " + std::to_string(f.coilRuns) + ", one per run of consecutive coils",
         Sampled(f.switches, AtMost(static_cast<double>(f.mostWrites), static_cast<double>(f.coilRuns), "", 0))},
    };
}

std::vector<Row> ModbusFrozen(const ModbusFigures& f) {
    const std::string two = "Modbus, 2 modules";
    const double over = Milliseconds(f.frozen.latency.p99) - Milliseconds(f.answering.latency.p99);
    const double reloadOver = Milliseconds(f.reloading.latency.p99) - Milliseconds(f.answering.latency.p99);
    const std::string reloadCarried = AllCarried({&f.reloading});
    return {
        {two + ": presses whose coils on A were written / pressed, B answering, B frozen",
         Carried(f.answering) + ", " + Carried(f.frozen), "all", AllCarried({&f.answering, &f.frozen})},
        {two + ", B answering: key raised to A's last coil, median / p99", MedianAndP99(f.answering.latency), "", ""},
        {two + ", B frozen: key raised to A's last coil, median / p99",
         MedianAndP99(f.frozen.latency) + " (B left " + std::to_string(f.unanswered) + " requests unanswered)",
         "p99 at most " + Fixed(kFrozenSlackMs, 0) + " ms over B answering",
         Sampled(std::min(f.answering.latency.count, f.frozen.latency.count), AtMost(over, kFrozenSlackMs, " ms", 2))},
        {two + ", B frozen and rewired by " + std::to_string(f.reloads) +
             " reloads: presses carried out, key raised to A's last coil, median / p99",
         Carried(f.reloading) + ", " + MedianAndP99(f.reloading.latency),
         "all, p99 at most " + Fixed(kFrozenSlackMs, 0) + " ms over B answering",
         Sampled(std::min(f.answering.latency.count, f.reloading.latency.count),
                 reloadCarried != "met" ? reloadCarried : AtMost(reloadOver, kFrozenSlackMs, " ms", 2))},
    };
}

std::string Reads(const BmsFigures& f) {
    const double seconds = std::chrono::duration<double>(f.reading).count();
    const double perSecond = seconds > 0 ? static_cast<double>(f.reads) / seconds : 0;
    const std::string failed =
        f.failed == 0 ? "none failed" : std::to_string(f.failed) + " failed, the first: " + f.firstFailure;
    return Fixed(perSecond, 0) + " (" + std::to_string(f.reads) + " in " + Fixed(seconds, 2) + " s, " + failed + ")";
}

// Without reads the second run is not beside a client.
std::string BmsVerdict(const BmsFigures& f) {
    if (f.reads == 0) return "NOT MET: not measured, the client read nothing";
    return TurnsVerdict(f.alone, f.read, kBmsSlackPercent);
}

}  // namespace

std::vector<Row> BmsRows(const BmsFigures& f) {
    const std::string hall = "BMS, 1 hall serving Modbus TCP: motion to last lamp, median / p99, ";
    const double over = P99Over(f.alone, f.read);
    return {
        {"BMS: client on 127.0.0.1 reading 108 coils and 3 input registers in turn, reads a second", Reads(f), "",
         f.reads > 0 ? "" : "NOT MET: not measured"},
        {hall + "without the client", Paced(f.alone), "", ""},
        {hall + "with the client reading", Paced(f.read), "", ""},
        {"BMS: p99 with the client over p99 without", Percent(over), "at most +" + Fixed(kBmsSlackPercent, 0) + " %",
         BmsVerdict(f)},
    };
}

std::vector<Row> ModbusRows(const ModbusFigures& f) {
    std::vector<Row> rows = {
        {"floor: Modbus write of 108 coils, every 50 ms, median of " + std::to_string(f.writeFloor.count),
         Ms(f.writeFloor.median) + " (p99 " + Ms(f.writeFloor.p99) + ")", "", ""}};
    for (const std::vector<Row>& part : {ModbusKeys(f), ModbusFrozen(f)})
        rows.insert(rows.end(), part.begin(), part.end());
    return rows;
}

std::vector<Row> OneHallRows(const Figures& f) {
    std::vector<Row> rows;
    for (const std::vector<Row>& part : {Floors(f), OneHall(f), Panels(f)})
        rows.insert(rows.end(), part.begin(), part.end());
    return rows;
}

std::vector<Row> ReportRows(const Figures& f) {
    std::vector<Row> rows = OneHallRows(f);
    for (const std::vector<Row>& part : {ThisDisk(f.many), SlowDisk(f.slow), BurstRows(f.burst, f.burstAtDefaults),
                                         ModbusRows(f.modbus), BmsRows(f.bms)})
        rows.insert(rows.end(), part.begin(), part.end());
    return rows;
}

std::string FormatTable(const std::vector<Row>& rows) {
    const std::vector<Row> all = [&] {
        std::vector<Row> withHeader = {{"measure", "value", "goal", "verdict"}};
        withHeader.insert(withHeader.end(), rows.begin(), rows.end());
        return withHeader;
    }();
    std::array<std::size_t, 4> width{};
    // Widths in characters: the texts are ASCII.
    for (const Row& row : all) {
        const std::array<const std::string*, 4> cells = {&row.measure, &row.value, &row.goal, &row.verdict};
        for (std::size_t c = 0; c < cells.size(); ++c) width[c] = std::max(width[c], cells[c]->size());
    }
    const auto line = [&](const Row& row) {
        const std::array<const std::string*, 4> cells = {&row.measure, &row.value, &row.goal, &row.verdict};
        std::string text = "|";
        for (std::size_t c = 0; c < cells.size(); ++c)
            text += " " + *cells[c] + std::string(width[c] - cells[c]->size(), ' ') + " |";
        return text + "\n";
    };
    std::string table = line(all.front());
    table += "|";
    for (const std::size_t w : width) table += std::string(w + 2, '-') + "|";
    table += "\n";
    for (std::size_t i = 1; i < all.size(); ++i) table += line(all[i]);
    return table;
}

}  // namespace bench
