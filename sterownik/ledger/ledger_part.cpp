#include "ledger_part.h"

#include "detached.h"
#include "handover.h"

#include <malloc.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>

namespace sterownik::ledger {
namespace {

using namespace std::chrono_literals;

// At most this much lit time is lost to a SIGKILL.
constexpr Duration kCommitWhileLit = 10s;
constexpr Duration kCommitWhileDark = 60s;
// At most this much is lost to a power cut.
constexpr Duration kFlushEvery = 60s;
// A file that cannot be written is tried again after 1 s, 2, ... up to a minute.
constexpr Duration kFirstRetry = 1s;
constexpr Duration kLongestRetry = 60s;

bool AnyLit(const hall::LampsLit& lamps) { return std::find(lamps.begin(), lamps.end(), true) != lamps.end(); }

// `more` after `into`, as one commit.
void Merge(hall::LedgerBatch& into, hall::LedgerBatch&& more) {
    for (const auto& [day, figures] : more.days) {
        hall::DayFigures& sum = into.days[day];
        for (int i = 0; i < hall::kLampCount; ++i) sum.lamps[i].add(figures.lamps[i]);
        sum.gapMs = hall::SaturatedSum(sum.gapMs, figures.gapMs);
    }
    if (more.last.at >= into.last.at) into.last = more.last;
    into.gaps.insert(into.gaps.end(), more.gaps.begin(), more.gaps.end());
    std::move(more.failures.begin(), more.failures.end(), std::back_inserter(into.failures));
}

struct Report {
    enum class Kind { Opened, Committed, Trouble, Recovered, Ended };
    Kind kind;
    std::string text;  // Trouble, Ended: why; Opened: where a damaged file went, if anywhere
    hall::LampTotals totals{};
    std::vector<hall::FailureSpan> open;
    std::int64_t todayMicrojoules = 0;
};

}  // namespace

// Everything the writer thread touches, kept alive by it until it ends.
struct LedgerPart::Writer {
    const std::filesystem::path file;
    const LastSeen first;  // the lamps when counting began
    SystemCalendar calendar;
    loop::Handover<Report> reports;

    std::mutex mutex;
    std::condition_variable changed, committed;
    bool stop = false;
    bool closing = false;  // the controller stops: the last batch is flushed
    std::optional<hall::LedgerBatch> pending;
    std::uint64_t handed = 0, done = 0;  // batches handed over, and and committed

    // The writer's own.
    std::optional<hall::LedgerFile> ledger;
    bool troubled = false;
    bool gapCounted = false;  // once, even when the file is opened again
    TimePoint nextFlush{};

    Writer(std::filesystem::path f, LastSeen start) : file(std::move(f)), first(std::move(start)) {}
    void run();
    hall::Status open(hall::LedgerBatch& batch);
    hall::Status write(hall::LedgerBatch& batch, bool last);
    void trouble(const std::string& why);
};

void LedgerPart::Writer::run() {
    TimePoint retryAt{};
    Duration backoff = kFirstRetry;
    std::unique_lock lock(mutex);
    for (;;) {
        changed.wait(lock, [&] { return stop || pending; });
        if (stop) break;
        if (Clock::now() < retryAt) {
            changed.wait_until(lock, retryAt, [&] { return stop; });
            continue;
        }
        hall::LedgerBatch batch = std::move(*std::exchange(pending, std::nullopt));
        const std::uint64_t taken = handed;
        const bool last = closing;
        lock.unlock();
        const bool written = write(batch, last).has_value();
        lock.lock();
        if (written) {
            done = taken;
            committed.notify_all();
            backoff = kFirstRetry;
            continue;
        }
        // What came meanwhile goes after what is still to be written.
        retryAt = Clock::now() + backoff;
        backoff = std::min(backoff * 2, kLongestRetry);
        if (pending) Merge(batch, std::move(*pending));
        pending = std::move(batch);
    }
}

// What the file says of the time before this controller began: a gap since
// it last counted, and the lamps switched on meanwhile.
hall::Status LedgerPart::Writer::open(hall::LedgerBatch& batch) {
    std::filesystem::path aside;
    hall::Result<hall::LedgerFile> opened = hall::LedgerFile::Open(file, hall::LedgerFile::Access::Write, &aside);
    if (!opened) return hall::Unexpected(opened.error());
    const hall::Result<std::optional<LastSeen>> last = opened->lastSeen();
    const hall::Result<std::vector<hall::FailureSpan>> open = opened->openFailures();
    if (!last) return hall::Unexpected(last.error());
    if (!open) return hall::Unexpected(open.error());
    if (!gapCounted) {
        LampCounts before(calendar);
        before.start(first.lamps, first.at, *last);
        hall::LedgerBatch since{before.take(), first, {}, {}};
        if (*last && (*last)->at < first.at) since.gaps.push_back({(*last)->at, first.at});
        Merge(since, std::move(batch));
        batch = std::move(since);
        gapCounted = true;
    }
    ledger = std::move(*opened);
    reports.put({Report::Kind::Opened, aside.string(), {}, *open});
    return {};
}

// Every commit survives a SIGKILL; one a minute, and the last, also a power
// cut, and only those are published. A flush waits for the disk, and on a
// journaling file system others' flushes wait with it: the hall's own
// replaces of actual.txt among them.
hall::Status LedgerPart::Writer::write(hall::LedgerBatch& batch, bool last) {
    hall::Status written = ledger ? hall::Status() : open(batch);
    const bool flush = last || Clock::now() >= nextFlush;
    using Durability = hall::LedgerFile::Durability;
    if (written) written = ledger->commit(batch, flush ? Durability::Flushed : Durability::Kept);
    hall::Result<hall::LampTotals> totals = written ? ledger->totals() : hall::Unexpected(written.error());
    if (!totals) {
        // Opened again at the next try, and checked then: a file damaged meanwhile is moved aside.
        ledger.reset();
        trouble(totals.error());
        return hall::Unexpected(totals.error());
    }
    if (troubled) reports.put({Report::Kind::Recovered, {}, {}, {}});
    troubled = false;
    // A commit comes every 10 s to a minute, between bursts: the heap's free
    // pages go back to the system then, what a connection's hundreds of
    // discovery messages and the commit left behind (some 0.9 MiB a hall).
    malloc_trim(0);
    if (!flush) return {};
    nextFlush = Clock::now() + kFlushEvery;
    const hall::LocalDay today = calendar.dayOf(WallNow());
    const hall::Result<hall::LampTotals> todays = ledger->lampFigures({today, today});
    std::int64_t energy = 0;
    if (todays)
        for (const hall::LampFigures& lamp : *todays) energy = hall::SaturatedSum(energy, lamp.energyMicrojoules);
    reports.put({Report::Kind::Committed, {}, *totals, {}, energy});
    return {};
}

// Once until it is written again, however often it is tried.
void LedgerPart::Writer::trouble(const std::string& why) {
    if (!troubled) reports.put({Report::Kind::Trouble, why, {}, {}});
    troubled = true;
}

LedgerPart::LedgerPart(loop::Reactor& reactor, std::filesystem::path file, LedgerListener& listener, std::ostream& log)
    : registrations_(reactor), file_(std::move(file)), listener_(listener), log_(log) {}

LedgerPart::~LedgerPart() {
    if (!writer_) return;
    {
        const std::lock_guard lock(writer_->mutex);
        writer_->stop = true;
    }
    writer_->changed.notify_one();
}

hall::Status LedgerPart::start(const hall::LampsLit& lamps, const Powers& watts) {
    const WallTime now = WallNow();
    counts_.setPowers(watts, now);
    counts_.start(lamps, now, std::nullopt);
    auto writer = std::make_shared<Writer>(file_, LastSeen{now, lamps});
    if (writer->reports.descriptor() < 0)
        return hall::Unexpected("nie można utworzyć kolejki zdarzeń: " + writer->reports.error().message());
    const hall::Status started = loop::StartDetached([writer] { writer->run(); },
                                                     [writer](const std::string& why) {
                                                         writer->reports.put({Report::Kind::Ended, why, {}, {}});
                                                     });
    if (!started) return started;
    writer_ = std::move(writer);
    nextCommit_ = Clock::now() + kCommitWhileLit;
    registrations_.watch(writer_->reports.descriptor(), POLLIN, [this](short) { readable(); });
    registrations_.prepare([this](TimePoint now) { return prepare(now); });
    handOver();
    return {};
}

// A lamp lit while the ledger waits its dark minute brings the commit to within 10 s.
void LedgerPart::observe(const hall::LampsLit& lamps) {
    counts_.observe(lamps, WallNow());
    if (AnyLit(lamps)) nextCommit_ = std::min(nextCommit_, Clock::now() + kCommitWhileLit);
}

void LedgerPart::setPowers(const Powers& watts) { counts_.setPowers(watts, WallNow()); }

void LedgerPart::failure(hall::FailureSpan span) { failures_.push_back(std::move(span)); }

std::optional<TimePoint> LedgerPart::prepare(TimePoint now) {
    if (now >= nextCommit_) {
        counts_.observe(counts_.last().lamps, WallNow());
        handOver();
        nextCommit_ = now + (AnyLit(counts_.last().lamps) ? kCommitWhileLit : kCommitWhileDark);
    }
    return nextCommit_;
}

void LedgerPart::handOver() {
    hall::LedgerBatch batch{counts_.take(), counts_.last(), {}, std::exchange(failures_, {})};
    {
        const std::lock_guard lock(writer_->mutex);
        if (!writer_->pending) writer_->pending.emplace();
        Merge(*writer_->pending, std::move(batch));
        ++writer_->handed;
    }
    writer_->changed.notify_one();
}

void LedgerPart::close(Duration patience) {
    if (!writer_) return;
    counts_.observe(counts_.last().lamps, WallNow());
    {
        const std::lock_guard lock(writer_->mutex);
        writer_->closing = true;
    }
    handOver();
    std::unique_lock lock(writer_->mutex);
    writer_->committed.wait_for(lock, patience, [&] { return writer_->done >= writer_->handed; });
}

void LedgerPart::readable() {
    const std::string file = file_.string();
    for (Report& report : writer_->reports.take()) {
        switch (report.kind) {
            case Report::Kind::Opened:
                if (!report.text.empty())
                    log_ << "dziennik " << file << " uszkodzony: odsunięty jako " << report.text << ", zaczęto nowy"
                         << std::endl;
                listener_.openFailures(report.open);
                break;
            case Report::Kind::Committed: listener_.committed(report.totals, report.todayMicrojoules); break;
            case Report::Kind::Trouble:
                log_ << "nie można zapisać dziennika " << file << ": " << report.text << "; ponawiam" << std::endl;
                break;
            case Report::Kind::Recovered: log_ << "dziennik " << file << " zapisany ponownie" << std::endl; break;
            case Report::Kind::Ended:
                log_ << "wątek dziennika " << file << " zakończył się: " << report.text << std::endl;
                break;
        }
    }
}

}  // namespace sterownik::ledger
