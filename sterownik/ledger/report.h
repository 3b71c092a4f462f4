#pragma once

#include "ledger_file.h"
#include "result.h"

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sterownik::ledger {

// sterownik raport [--od RRRR-MM-DD] [--do RRRR-MM-DD] [--dni] [--csv] [--dziennik PLIK]
struct ReportOptions {
    hall::DayRange range;  // both ends included; nothing: all of the ledger
    bool days = false;     // one row per day instead of per lamp
    bool csv = false;
    std::optional<std::filesystem::path> ledger;  // nothing: as sterownik.conf says
    bool operator==(const ReportOptions&) const = default;
};

// The arguments after "raport", or the one Polish line that says what is wrong.
hall::Result<ReportOptions> ParseReportArguments(const std::vector<std::string_view>& arguments);

// What a report shows, read from the ledger and sterownik.conf.
struct ReportData {
    hall::LampTotals period{};  // in the range
    hall::LampTotals total{};   // all of the ledger: the rated life used
    std::vector<hall::LedgerDay> days;
    std::vector<hall::FailureSpan> begun;  // in the range
    std::vector<hall::FailureSpan> open;
    std::vector<hall::GapSpan> gaps;  // ended in the range
    std::array<std::optional<double>, hall::kLampCount> ratedHours{};
};

// lampa,godziny,wlaczenia,kwh,zywotnosc_proc,awarie: one row per lamp 1 to 108.
std::string LampCsv(const ReportData& data);
// data,kwh,godziny,luka_min: one row per day.
std::string DayCsv(const ReportData& data);
// For a person, in Polish: per lamp or per day, then the lamps past 80 % of
// their rated life, the open failures and the gaps.
std::string ReportText(const ReportData& data, const ReportOptions& options);

// The report as the command line asks for it, run in konfigurator/: 0, or 2
// with one Polish line on `errors`.
int RunReport(const std::vector<std::string_view>& arguments, std::ostream& out, std::ostream& errors);

}  // namespace sterownik::ledger
