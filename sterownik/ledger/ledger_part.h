#pragma once

#include "lamp_counts.h"
#include "ledger_file.h"
#include "reactor.h"
#include "system_calendar.h"

#include <filesystem>
#include <memory>
#include <ostream>
#include <vector>

namespace sterownik::ledger {

// What the ledger tells the hall, on the loop's thread.
class LedgerListener {
public:
    virtual ~LedgerListener() = default;
    // The totals as the file now holds them: never lower than before.
    // With the energy of the lamps today, by the hall's calendar.
    virtual void committed(const hall::LampTotals& totals, std::int64_t todayMicrojoules) = 0;
    // The failures the file held open when it was opened.
    virtual void openFailures(const std::vector<hall::FailureSpan>& failures) = 0;
};

// The ledger as a part of the loop. The lamps are counted on the loop's
// thread, which costs a switch nothing; what they gained goes every 10 s
// (every minute while nothing is lit) to a thread of its own that commits
// it to the file. A file that cannot be written (a full disk, a lock, a
// read-only directory) is logged once and tried again, what was counted
// meanwhile kept; a damaged one is moved aside and a new one begun. Once a
// minute, and at a clean stop, a commit waits for the disk; only the totals
// of those are told to the listener, so that no total it publishes is ever
// lower later, through a restart, a SIGKILL or a power cut.
class LedgerPart {
public:
    LedgerPart(loop::Reactor& reactor, std::filesystem::path file, LedgerListener& listener, std::ostream& log);
    // Never waits for the writer: it finishes on its own thread.
    ~LedgerPart();

    // Counting begins with these lamps; the time since the ledger last
    // counted is a gap.
    hall::Status start(const hall::LampsLit& lamps, const Powers& watts);
    // The lamps as actual.txt says now, whoever changed them.
    void observe(const hall::LampsLit& lamps);
    void setPowers(const Powers& watts);
    // A failure begun (no end) or ended.
    void failure(hall::FailureSpan span);
    // Hands over what is counted and waits at most `patience` for it to be committed.
    void close(Duration patience);

private:
    struct Writer;
    std::optional<TimePoint> prepare(TimePoint now);
    void handOver();
    void readable();

    loop::Registrations registrations_;
    std::filesystem::path file_;
    LedgerListener& listener_;
    std::ostream& log_;
    SystemCalendar calendar_;
    LampCounts counts_{calendar_};
    std::vector<hall::FailureSpan> failures_;
    TimePoint nextCommit_{};
    std::shared_ptr<Writer> writer_;
};

}  // namespace sterownik::ledger
