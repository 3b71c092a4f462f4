#include "controller_config.h"
#include "report.h"

#include <ostream>

namespace sterownik::ledger {
namespace {

// Everything a report shows, read in one go; the first failure says why.
hall::Result<ReportData> ReadReport(hall::LedgerFile& ledger, const hall::DayRange& range) {
    ReportData data;
    auto period = ledger.lampFigures(range);
    auto total = ledger.lampFigures({});
    auto days = ledger.days(range);
    auto begun = ledger.failures(range);
    auto open = ledger.openFailures();
    auto gaps = ledger.gaps(range);
    for (const std::string* error :
         {period ? nullptr : &period.error(), total ? nullptr : &total.error(), days ? nullptr : &days.error(),
          begun ? nullptr : &begun.error(), open ? nullptr : &open.error(), gaps ? nullptr : &gaps.error()})
        if (error) return hall::Unexpected(*error);
    data.period = *period;
    data.total = *total;
    data.days = std::move(*days);
    data.begun = std::move(*begun);
    data.open = std::move(*open);
    data.gaps = std::move(*gaps);
    return data;
}

}  // namespace

int RunReport(const std::vector<std::string_view>& arguments, std::ostream& out, std::ostream& errors) {
    const auto fail = [&](const std::string& line) {
        errors << "sterownik raport: " << line << '\n';
        return 2;
    };
    const hall::Result<ReportOptions> options = ParseReportArguments(arguments);
    if (!options) return fail(options.error());
    const hall::Result<hall::ControllerConfig> config = hall::ReadControllerConfig(hall::kControllerConfigPath, "hala");
    if (!config) return fail(config.error());
    const std::filesystem::path file = options->ledger.value_or(config->ledgerFile.value_or(hall::kLedgerPath));
    hall::Result<hall::LedgerFile> ledger = hall::LedgerFile::Open(file, hall::LedgerFile::Access::Read);
    if (!ledger) return fail("nie można odczytać dziennika " + file.string() + ": " + ledger.error());
    hall::Result<ReportData> data = ReadReport(*ledger, options->range);
    if (!data) return fail("nie można odczytać dziennika " + file.string() + ": " + data.error());
    data->ratedHours = config->ratedHours;
    if (!options->csv)
        out << ReportText(*data, *options);
    else
        out << (options->days ? DayCsv(*data) : LampCsv(*data));
    out.flush();
    return out ? 0 : fail("nie można wypisać raportu");
}

}  // namespace sterownik::ledger
