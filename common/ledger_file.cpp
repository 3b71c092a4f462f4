#include "ledger_file.h"

#include <sqlite3.h>

#include <ctime>
#include <system_error>

namespace hall {
namespace {

constexpr int kSchemaVersion = 1;
// The pages SQLite keeps in memory, in KiB: the ledger is small, and the
// controller's memory is counted per hall.
constexpr int kPageCacheKib = 64;
constexpr int kBusyMs = 2000;

constexpr const char* kSchema = R"(
CREATE TABLE IF NOT EXISTS lampa(lampa INTEGER PRIMARY KEY, ms INTEGER NOT NULL, wlaczenia INTEGER NOT NULL,
                                 uj INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS dzien(data TEXT NOT NULL, lampa INTEGER NOT NULL, ms INTEGER NOT NULL,
                                 wlaczenia INTEGER NOT NULL, uj INTEGER NOT NULL, PRIMARY KEY(data, lampa))
                                 WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS luka_dnia(data TEXT PRIMARY KEY, ms INTEGER NOT NULL) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS luka(poczatek INTEGER NOT NULL, koniec INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS awaria(lampa INTEGER NOT NULL, rodzaj TEXT NOT NULL, poczatek INTEGER NOT NULL,
                                  koniec INTEGER);
CREATE TABLE IF NOT EXISTS stan(klucz TEXT PRIMARY KEY, wartosc) WITHOUT ROWID;
)";

// A counter's sum in SQL, stopping at the largest integer rather than turning into a real number.
#define SATURATED(column)                                                                                              \
    column " = CASE WHEN " column " > 9223372036854775807 - excluded." column " THEN 9223372036854775807 ELSE " column \
           " + excluded." column " END"

constexpr const char* kAddDay =
    "INSERT INTO dzien(data, lampa, ms, wlaczenia, uj) VALUES(?1, ?2, ?3, ?4, ?5) "
    "ON CONFLICT(data, lampa) DO UPDATE SET " SATURATED("ms") ", " SATURATED("wlaczenia") ", " SATURATED("uj");
constexpr const char* kAddTotal =
    "INSERT INTO lampa(lampa, ms, wlaczenia, uj) VALUES(?1, ?2, ?3, ?4) "
    "ON CONFLICT(lampa) DO UPDATE SET " SATURATED("ms") ", " SATURATED("wlaczenia") ", " SATURATED("uj");
constexpr const char* kAddGapDay =
    "INSERT INTO luka_dnia(data, ms) VALUES(?1, ?2) ON CONFLICT(data) DO UPDATE SET " SATURATED("ms");
#undef SATURATED

// A local date of a stored instant, in the zone the process runs in, as the controller's calendar has it.
constexpr const char* kLocalDate = "date(%s / 1000, 'unixepoch', 'localtime')";

std::int64_t Ms(WallTime at) { return at.time_since_epoch().count(); }
WallTime At(std::int64_t ms) { return WallTime(std::chrono::milliseconds(ms)); }

Unexpected<std::string> Failed(sqlite3* db) { return Unexpected(std::string(sqlite3_errmsg(db))); }

bool IsDamage(int code) {
    code &= 0xff;
    return code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
}

// One prepared statement, its values bound by position from 1.
class Statement {
public:
    Statement(sqlite3* db, const std::string& sql) : db_(db) {
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement_, nullptr) != SQLITE_OK) statement_ = nullptr;
    }
    ~Statement() { sqlite3_finalize(statement_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return statement_ != nullptr; }
    Statement& bind(int i, std::int64_t value) {
        sqlite3_bind_int64(statement_, i, value);
        return *this;
    }
    Statement& bind(int i, const std::string& text) {
        sqlite3_bind_text(statement_, i, text.c_str(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    // True while it gives a row; `code` says how it ended.
    bool row() {
        code = statement_ ? sqlite3_step(statement_) : sqlite3_errcode(db_);
        return code == SQLITE_ROW;
    }
    // Runs it to the end and makes it ready to run again.
    Status run() {
        while (row()) {}
        sqlite3_reset(statement_);
        if (code != SQLITE_DONE) return Failed(db_);
        return {};
    }
    std::int64_t integer(int column) const { return sqlite3_column_int64(statement_, column); }
    bool null(int column) const { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }
    std::string text(int column) const {
        const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
        return bytes ? std::string(bytes, static_cast<std::size_t>(sqlite3_column_bytes(statement_, column))) : "";
    }
    Status done() const {
        if (code != SQLITE_DONE) return Failed(db_);
        return {};
    }

    int code = SQLITE_OK;

private:
    sqlite3* db_;
    sqlite3_stmt* statement_ = nullptr;
};

Status Execute(sqlite3* db, const char* sql) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) return Failed(db);
    return {};
}

// The first value of a statement that gives one row, or its failure code.
int QuickCheck(sqlite3* db) {
    Statement check(db, "PRAGMA quick_check");
    if (!check.ok()) return sqlite3_errcode(db);
    if (!check.row()) return check.code;
    return check.text(0) == "ok" ? SQLITE_OK : SQLITE_CORRUPT;
}

std::string Stamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

// The damaged file and what SQLite kept beside it, moved aside under one name.
Result<std::filesystem::path> MoveAside(const std::filesystem::path& file) {
    const std::filesystem::path aside = file.string() + ".uszkodzony-" + Stamp();
    std::error_code error;
    std::filesystem::rename(file, aside, error);
    if (error) return Unexpected("nie można odsunąć uszkodzonego pliku: " + error.message());
    for (const char* suffix : {"-wal", "-shm"})
        std::filesystem::rename(file.string() + suffix, aside.string() + suffix, error);
    return aside;
}

std::string DateBounds(const DayRange& range, const std::string& date) {
    std::string where = " WHERE 1";
    if (range.from) where += " AND " + date + " >= '" + DayText(*range.from) + "'";
    if (range.to) where += " AND " + date + " <= '" + DayText(*range.to) + "'";
    return where;
}

std::string LocalDateOf(const char* column) {
    char sql[96];
    std::snprintf(sql, sizeof sql, kLocalDate, column);
    return sql;
}

std::string LampsText(const LampsLit& lamps) {
    std::string text;
    for (const bool lit : lamps) text += lit ? '1' : '0';
    return text;
}

}  // namespace

void LedgerFile::Close::operator()(sqlite3* db) const { sqlite3_close_v2(db); }

LedgerFile::~LedgerFile() = default;

Result<LedgerFile> LedgerFile::Open(const std::filesystem::path& file, Access access, std::filesystem::path* aside) {
    const bool write = access == Access::Write;
    const int flags = SQLITE_OPEN_NOFOLLOW | SQLITE_OPEN_NOMUTEX |
                      (write ? SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE : SQLITE_OPEN_READONLY);
    sqlite3* db = nullptr;
    const int opened = sqlite3_open_v2(file.c_str(), &db, flags, nullptr);
    LedgerFile ledger(db);
    if (opened != SQLITE_OK) return Failed(db);
    sqlite3_busy_timeout(db, kBusyMs);
    // No lookaside slots: the connection's small allocations come from the heap, 120 KiB fewer per hall.
    sqlite3_db_config(db, SQLITE_DBCONFIG_LOOKASIDE, nullptr, 0, 0);
    const int check = QuickCheck(db);
    if (IsDamage(check) && write) {
        ledger.db_.reset();
        const Result<std::filesystem::path> moved = MoveAside(file);
        if (!moved) return Unexpected(moved.error());
        if (aside) *aside = *moved;
        return Open(file, access, nullptr);
    }
    if (IsDamage(check)) return Unexpected(std::string("plik uszkodzony"));
    if (check != SQLITE_OK) return Failed(db);
    const std::string cache = "PRAGMA cache_size = -" + std::to_string(kPageCacheKib);
    if (Status set = Execute(db, cache.c_str()); !set) return Unexpected(set.error());
    if (!write) return ledger;
    for (const char* setting : {"PRAGMA journal_mode = WAL", "PRAGMA synchronous = NORMAL", kSchema})
        if (Status set = Execute(db, setting); !set) return Unexpected(set.error());
    const std::string version = "PRAGMA user_version = " + std::to_string(kSchemaVersion);
    if (Status set = Execute(db, version.c_str()); !set) return Unexpected(set.error());
    return ledger;
}

Status LedgerFile::commit(const LedgerBatch& batch, Durability durability) {
    sqlite3* db = db_.get();
    const bool flush = durability == Durability::Flushed;
    if (Status set = Execute(db, flush ? "PRAGMA synchronous = FULL" : "PRAGMA synchronous = NORMAL"); !set) return set;
    if (Status begun = Execute(db, "BEGIN IMMEDIATE"); !begun) return begun;
    Status written = [&]() -> Status {
        Statement day(db, kAddDay), total(db, kAddTotal), gapDay(db, kAddGapDay);
        for (const auto& [date, figures] : batch.days) {
            const std::string text = DayText(date);
            for (int i = 0; i < kLampCount; ++i) {
                const LampFigures& f = figures.lamps[i];
                if (f == LampFigures{}) continue;
                for (Statement* s : {&day, &total}) {
                    const int first = s == &day ? 2 : 1;
                    if (s == &day) s->bind(1, text);
                    s->bind(first, i + 1).bind(first + 1, f.litMs).bind(first + 2, f.switchOns);
                    if (Status run = s->bind(first + 3, f.energyMicrojoules).run(); !run) return run;
                }
            }
            if (figures.gapMs == 0) continue;
            if (Status run = gapDay.bind(1, text).bind(2, figures.gapMs).run(); !run) return run;
        }
        Statement gap(db, "INSERT INTO luka(poczatek, koniec) VALUES(?1, ?2)");
        for (const GapSpan& span : batch.gaps)
            if (Status run = gap.bind(1, Ms(span.from)).bind(2, Ms(span.to)).run(); !run) return run;
        // A failure still open goes on: a restart does not begin it again.
        Statement begin(db,
                        "INSERT INTO awaria(lampa, rodzaj, poczatek) SELECT ?1, ?2, ?3 WHERE NOT EXISTS "
                        "(SELECT 1 FROM awaria WHERE lampa = ?1 AND rodzaj = ?2 AND koniec IS NULL)");
        Statement end(db, "UPDATE awaria SET koniec = ?3 WHERE lampa = ?1 AND rodzaj = ?2 AND koniec IS NULL");
        for (const FailureSpan& failure : batch.failures) {
            Statement& s = failure.ended ? end : begin;
            s.bind(1, failure.lamp).bind(2, failure.kind).bind(3, Ms(failure.ended.value_or(failure.begun)));
            if (Status run = s.run(); !run) return run;
        }
        Statement count(db,
                        "INSERT INTO stan(klucz, wartosc) VALUES('zapisy', 1) "
                        "ON CONFLICT(klucz) DO UPDATE SET wartosc = wartosc + 1");
        if (Status run = count.run(); !run) return run;
        Statement state(db, "INSERT OR REPLACE INTO stan(klucz, wartosc) VALUES(?1, ?2)");
        if (Status run = state.bind(1, std::string("chwila")).bind(2, Ms(batch.last.at)).run(); !run) return run;
        return state.bind(1, std::string("lampy")).bind(2, LampsText(batch.last.lamps)).run();
    }();
    if (written) written = Execute(db, "COMMIT");
    if (!written) (void)Execute(db, "ROLLBACK");
    return written;
}

Result<std::optional<LastSeen>> LedgerFile::lastSeen() {
    Statement read(db_.get(), "SELECT klucz, wartosc FROM stan WHERE klucz IN ('chwila', 'lampy')");
    std::optional<std::int64_t> at;
    std::string lamps;
    while (read.row()) (read.text(0) == "chwila" ? void(at = read.integer(1)) : void(lamps = read.text(1)));
    if (Status done = read.done(); !done) return Unexpected(done.error());
    if (!at || lamps.size() != kLampCount) return std::optional<LastSeen>();
    LastSeen last{At(*at), {}};
    for (int i = 0; i < kLampCount; ++i) last.lamps[i] = lamps[i] == '1';
    return std::optional<LastSeen>(last);
}

Result<std::int64_t> LedgerFile::commits() {
    Statement read(db_.get(), "SELECT wartosc FROM stan WHERE klucz = 'zapisy'");
    const std::int64_t count = read.row() ? read.integer(0) : 0;
    if (read.code != SQLITE_ROW)
        if (Status done = read.done(); !done) return Unexpected(done.error());
    return count;
}

Result<LampTotals> LedgerFile::totals() {
    LampTotals totals{};
    Statement read(db_.get(), "SELECT lampa, ms, wlaczenia, uj FROM lampa WHERE lampa BETWEEN 1 AND 108");
    while (read.row()) totals[read.integer(0) - 1] = {read.integer(1), read.integer(2), read.integer(3)};
    if (Status done = read.done(); !done) return Unexpected(done.error());
    return totals;
}

Result<LampTotals> LedgerFile::lampFigures(const DayRange& range) {
    LampTotals figures{};
    Statement read(db_.get(), "SELECT lampa, ms, wlaczenia, uj FROM dzien" + DateBounds(range, "data") +
                                  " AND lampa BETWEEN 1 AND 108");
    while (read.row()) figures[read.integer(0) - 1].add({read.integer(1), read.integer(2), read.integer(3)});
    if (Status done = read.done(); !done) return Unexpected(done.error());
    return figures;
}

Result<std::vector<LedgerDay>> LedgerFile::days(const DayRange& range) {
    std::map<LocalDay, LedgerDay> days;
    Statement lit(db_.get(), "SELECT data, ms, uj FROM dzien" + DateBounds(range, "data"));
    Statement gaps(db_.get(), "SELECT data, ms FROM luka_dnia" + DateBounds(range, "data"));
    for (Statement* read : {&lit, &gaps}) {
        while (read->row()) {
            const std::optional<LocalDay> day = ParseDay(read->text(0));
            if (!day) continue;
            LedgerDay& d = days.try_emplace(*day, LedgerDay{*day}).first->second;
            if (read == &gaps) {
                d.gapMs = SaturatedSum(d.gapMs, read->integer(1));
                continue;
            }
            d.litMs = SaturatedSum(d.litMs, read->integer(1));
            d.energyMicrojoules = SaturatedSum(d.energyMicrojoules, read->integer(2));
        }
        if (Status done = read->done(); !done) return Unexpected(done.error());
    }
    std::vector<LedgerDay> list;
    for (const auto& [day, figures] : days) list.push_back(figures);
    return list;
}

namespace {

Result<std::vector<FailureSpan>> ReadFailures(sqlite3* db, const std::string& where) {
    std::vector<FailureSpan> list;
    Statement read(db, "SELECT lampa, rodzaj, poczatek, koniec FROM awaria" + where + " ORDER BY poczatek, lampa");
    while (read.row()) {
        FailureSpan failure{static_cast<int>(read.integer(0)), read.text(1), At(read.integer(2)), std::nullopt};
        if (!read.null(3)) failure.ended = At(read.integer(3));
        list.push_back(failure);
    }
    if (Status done = read.done(); !done) return Unexpected(done.error());
    return list;
}

}  // namespace

Result<std::vector<FailureSpan>> LedgerFile::openFailures() { return ReadFailures(db_.get(), " WHERE koniec IS NULL"); }

Result<std::vector<FailureSpan>> LedgerFile::failures(const DayRange& range) {
    return ReadFailures(db_.get(), DateBounds(range, LocalDateOf("poczatek")));
}

Result<std::vector<GapSpan>> LedgerFile::gaps(const DayRange& range) {
    std::vector<GapSpan> list;
    Statement read(db_.get(), "SELECT poczatek, koniec FROM luka" + DateBounds(range, LocalDateOf("koniec")) +
                                  " ORDER BY poczatek");
    while (read.row()) list.push_back({At(read.integer(0)), At(read.integer(1))});
    if (Status done = read.done(); !done) return Unexpected(done.error());
    return list;
}

}  // namespace hall
