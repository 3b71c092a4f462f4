#include "report.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace bench {
namespace {

constexpr double kRatioGoal = 2.0;
constexpr double kP99GoalMs = 20.0;
constexpr double kPeakGoalMiB = 4.0;

std::string Fixed(double value, int decimals) {
    std::array<char, 64> text;
    std::snprintf(text.data(), text.size(), "%.*f", decimals, value);
    return text.data();
}

std::string Ms(Duration d) { return Fixed(Milliseconds(d), 2) + " ms"; }
std::string MiB(long kib) { return Fixed(static_cast<double>(kib) / 1024.0, 2) + " MiB"; }

// At most `goal`: met, or how far over it the value is.
std::string AtMost(double value, double goal, const std::string& unit, int decimals) {
    if (value <= goal) return "met";
    return "NOT MET: " + Fixed(value - goal, decimals) + unit + " over";
}

}  // namespace

std::vector<Row> ReportRows(const Figures& f) {
    const double floors = Milliseconds(f.brokerRoundTrip.median) + Milliseconds(f.durableReplace.median);
    const double ratio = floors > 0 ? Milliseconds(f.oneHall.median) / floors : 0;
    const std::size_t lost = f.manySent - f.many.count;
    const std::string halls = std::to_string(f.halls) + " halls: ";
    const double peakMiB = static_cast<double>(f.peakResidentMaxKiB) / 1024.0;
    return {
        {"floor: broker round trip, every 50 ms, median of " + std::to_string(f.brokerRoundTrip.count),
         Ms(f.brokerRoundTrip.median) + " (p99 " + Ms(f.brokerRoundTrip.p99) + ")", "", ""},
        {"floor: durable replace of actual.txt, every 50 ms, median of " + std::to_string(f.durableReplace.count),
         Ms(f.durableReplace.median) + " (p99 " + Ms(f.durableReplace.p99) + ")", "", ""},
        {"1 hall: events back / sent", std::to_string(f.oneHall.count) + " / " + std::to_string(f.oneHallSent), "", ""},
        {"1 hall: motion to last lamp, median", Ms(f.oneHall.median), "", ""},
        {"1 hall: median / sum of floors", Fixed(ratio, 2), "at most 2", AtMost(ratio, kRatioGoal, "", 2)},
        {"1 hall: motion to last lamp, p99", Ms(f.oneHall.p99), "at most 20 ms",
         AtMost(Milliseconds(f.oneHall.p99), kP99GoalMs, " ms", 2)},
        {halls + "events sent", std::to_string(f.manySent), "", ""},
        {halls + "events whose lamp change came back", std::to_string(f.many.count), "none lost",
         lost == 0 ? "met" : "NOT MET: " + std::to_string(lost) + " lost"},
        {halls + "motion to last lamp, median / p99", Ms(f.many.median) + " / " + Ms(f.many.p99), "", ""},
        {halls + "peak RSS per controller, max (median)",
         MiB(f.peakResidentMaxKiB) + " (" + MiB(f.peakResidentMedianKiB) + ")", "at most 4 MiB",
         AtMost(peakMiB, kPeakGoalMiB, " MiB", 2)},
        {halls + "per controller at the end: own memory (RssAnon) / PSS, max",
         MiB(f.privateMaxKiB) + " / " + MiB(f.proportionalMaxKiB), "", ""},
        {halls + "broker CPU, of one core", Fixed(f.brokerCpuPercent, 1) + " %", "", ""},
        {halls + "all controllers' CPU, of one core", Fixed(f.controllersCpuPercent, 1) + " %", "", ""},
        {halls + "benchmark client's CPU, of one core", Fixed(f.driverCpuPercent, 1) + " %", "", ""},
    };
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
