#include "ledger_commits.h"

#include "ledger_file.h"
#include "ledger_records.h"

#include <algorithm>
#include <chrono>
#include <numeric>
#include <system_error>

namespace bench {
namespace {

hall::Result<std::int64_t> CommitsSoFar(const std::filesystem::path& file) {
    std::error_code ec;
    if (std::filesystem::symlink_status(file, ec).type() == std::filesystem::file_type::not_found) return 0;
    hall::Result<hall::LedgerFile> ledger = hall::LedgerFile::Open(file, hall::LedgerFile::Access::Read);
    if (!ledger) return hall::Unexpected(ledger.error());
    return ledger->commits();
}

}  // namespace

hall::Result<std::vector<CommitCount>> CountCommits(const Halls& halls, Unreadable unreadable) {
    std::vector<CommitCount> counts;
    for (std::size_t i = 0; i < halls.names().size(); ++i) {
        const std::filesystem::path file = WorkingDirectory(halls.hall(i)) / hall::kLedgerPath;
        hall::Result<std::int64_t> commits = CommitsSoFar(file);
        if (!commits && unreadable == Unreadable::CountsNone) commits = 0;
        if (!commits) return hall::Unexpected("nie można odczytać dziennika " + file.string() + ": " + commits.error());
        counts.push_back({Clock::now(), *commits});
    }
    return counts;
}

CommitRates CommitsPerMinute(const std::vector<CommitCount>& before, const std::vector<CommitCount>& after) {
    std::vector<double> rates;
    for (std::size_t i = 0; i < std::min(before.size(), after.size()); ++i) {
        const double minutes = std::chrono::duration<double, std::ratio<60>>(after[i].at - before[i].at).count();
        if (minutes > 0) rates.push_back(static_cast<double>(after[i].commits - before[i].commits) / minutes);
    }
    if (rates.empty()) return {};
    const double sum = std::accumulate(rates.begin(), rates.end(), 0.0);
    const auto [fewest, most] = std::minmax_element(rates.begin(), rates.end());
    return {rates.size(), sum / static_cast<double>(rates.size()), *fewest, *most};
}

}  // namespace bench
