#pragma once

// The ledger file, dziennik.sqlite: an SQLite database that the controller
// alone writes and other programs read. Its tables:
//   lampa(lampa, ms, wlaczenia, uj)            each lamp's totals
//   dzien(data, lampa, ms, wlaczenia, uj)      each lamp's figures per local date "RRRR-MM-DD"
//   luka_dnia(data, ms)                        the time per date when no controller ran
//   luka(poczatek, koniec)                     those spans
//   awaria(lampa, rodzaj, poczatek, koniec)    lamp failures; koniec NULL while open
//   stan(klucz, wartosc)                       what the controller last knew: "chwila", "lampy";
//                                              "zapisy", the commits so far
// Times are milliseconds since 1970 UTC; energy in microjoules.

#include "ledger_records.h"
#include "result.h"

#include <filesystem>
#include <map>
#include <memory>
#include <vector>

struct sqlite3;

namespace hall {

// What one commit adds, all or nothing.
struct LedgerBatch {
    std::map<LocalDay, DayFigures> days;
    LastSeen last;
    std::vector<GapSpan> gaps;
    std::vector<FailureSpan> failures;  // begun ones are added; ended ones close the open one of their lamp and kind
};

// A day's sums, for the report.
struct LedgerDay {
    LocalDay day;
    std::int64_t energyMicrojoules = 0, litMs = 0, gapMs = 0;
};

// A range of local dates, both ends included; nothing: open at that end.
struct DayRange {
    std::optional<LocalDay> from, to;
};

class LedgerFile {
public:
    enum class Access { Write, Read };
    // Write: creates the file when missing; a damaged one (not a database,
    // or its quick check fails) is moved aside as FILE.uszkodzony-RRRRMMDD-HHMMSS
    // and `aside` says where. Read: the file as it is, never changed. A link
    // is never followed. The error is one line, in Polish.
    static Result<LedgerFile> Open(const std::filesystem::path& file, Access access,
                                   std::filesystem::path* aside = nullptr);
    LedgerFile(LedgerFile&&) noexcept = default;
    LedgerFile& operator=(LedgerFile&&) noexcept = default;
    ~LedgerFile();

    // Kept: survives the end of the process, however it ends. Flushed: on the
    // disk too, with every commit before it, and so survives a power cut.
    enum class Durability { Kept, Flushed };
    Status commit(const LedgerBatch& batch, Durability durability = Durability::Flushed);
    Result<std::optional<LastSeen>> lastSeen();
    Result<LampTotals> totals();
    Result<std::vector<FailureSpan>> openFailures();
    Result<std::int64_t> commits();

    // For the report.
    Result<LampTotals> lampFigures(const DayRange& range);
    Result<std::vector<LedgerDay>> days(const DayRange& range);
    // Failures begun in the range.
    Result<std::vector<FailureSpan>> failures(const DayRange& range);
    // Spans that ended in the range.
    Result<std::vector<GapSpan>> gaps(const DayRange& range);

private:
    struct Close {
        void operator()(sqlite3* db) const;
    };
    explicit LedgerFile(sqlite3* db) : db_(db) {}
    std::unique_ptr<sqlite3, Close> db_;
};

}  // namespace hall
