#include "paced_runs.h"

#include "bench_halls.h"
#include "event_tracker.h"
#include "ledger_commits.h"
#include "slow_disk.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <optional>

namespace bench {
namespace {

using namespace std::chrono_literals;

// Each way 1000 events, 50 s at the one hall's pace, in pairs of blocks, each
// pair in the other order than the one before: machine drift falls on both.
constexpr int kOneHallPairs = 4;
constexpr int kOneHallEventsPerBlock = 250;
constexpr int kHalls = 100;
constexpr Duration kHallPeriod = 200ms;  // 5 events a second in each hall
constexpr int kEventsPerHall = 300;      // for 60 s
// After the last event, for the late ones; what is still missing then is lost.
constexpr Duration kGrace = 5s;

Duration OwnCpuTime() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto time = [](const timeval& t) {
        return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec);
    };
    return time(usage.ru_utime) + time(usage.ru_stime);
}

double PercentOf(Duration cpu, Duration wall) {
    return wall > Duration::zero() ? 100.0 * std::chrono::duration<double>(cpu) / std::chrono::duration<double>(wall)
                                   : 0;
}

// Sends the plan's events on time, and waits for the late ones up to the grace.
hall::Status DriveEvents(DriverClient& client, EventTracker& tracker, const EventPlan& plan,
                         const std::vector<std::string>& names) {
    std::vector<std::array<std::string, hall::kSensorCount>> topics(names.size());
    for (std::size_t h = 0; h < names.size(); ++h)
        for (int k = 1; k <= hall::kSensorCount; ++k)
            topics[h][k - 1] = "hala/" + names[h] + "/czujnik/" + std::to_string(k);
    const TimePoint start = Clock::now();
    std::size_t next = 0;
    const RunEnd end = client.run(
        start + plan.length() + kGrace,
        [&] { return next == plan.size() && tracker.backCount() == tracker.sentCount(); },
        [&](TimePoint now) {
            for (; next < plan.size() && start + plan[next].at <= now; ++next) {
                const PlannedEvent event = plan[next];
                tracker.sent(event.hall, event.input, Clock::now());
                client.publish(topics[event.hall][event.input - 1], "1");
            }
            return next < plan.size() ? start + plan[next].at : now + 1s;
        });
    if (end == RunEnd::Stopped) return hall::Unexpected(client.stopReason());
    return {};
}

long Median(std::vector<long> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[(values.size() - 1) / 2];
}

void TakeResources(const Halls& halls, ManyHallsFigures& figures) {
    std::vector<long> peaks;
    for (const auto& controller : halls.controllers()) {
        if (const std::optional<long> peak = controller->peakResidentKiB()) peaks.push_back(*peak);
        figures.privateMaxKiB = std::max(figures.privateMaxKiB, controller->privateResidentKiB().value_or(0));
        figures.proportionalMaxKiB = std::max(figures.proportionalMaxKiB, controller->proportionalKiB().value_or(0));
    }
    figures.peakResidentMaxKiB = peaks.empty() ? 0 : *std::max_element(peaks.begin(), peaks.end());
    figures.peakResidentMedianKiB = Median(peaks);
}

Duration ControllersCpu(const Halls& halls) {
    Duration sum{};
    for (const auto& controller : halls.controllers()) sum += controller->cpuTime().value_or(Duration::zero());
    return sum;
}

// What the slowed disk has served so far, read before and after the run, when
// no flush is at the disk; nothing before its first flush.
slow_disk::Served ServedSoFar(const std::filesystem::path& lock) {
    const int fd = ::open(lock.c_str(), O_RDONLY | O_CLOEXEC);
    slow_disk::Served served{};
    if (fd < 0) return served;
    if (::pread(fd, &served, sizeof served, 0) != static_cast<ssize_t>(sizeof served)) served = {};
    ::close(fd);
    return served;
}

// What the controllers of the slowed run need in their environment.
std::vector<std::string> SlowDiskEnvironment(const std::filesystem::path& lock) {
    return {std::string("LD_PRELOAD=") + SLOW_DISK_LIBRARY,
            std::string(slow_disk::kLockVariable) + "=" + lock.string()};
}

// The events and their grace, with the CPU each side used meanwhile.
hall::Status Drive(DriverClient& client, BrokerProcess& broker, const Halls& halls, EventTracker& tracker,
                   ManyHallsFigures& figures) {
    const TimePoint start = Clock::now();
    const Duration brokerBefore = broker.process().cpuTime().value_or(Duration::zero());
    const Duration controllersBefore = ControllersCpu(halls), ownBefore = OwnCpuTime();
    const hall::Status ran =
        DriveEvents(client, tracker, EventPlan(kHalls, kHallPeriod, kEventsPerHall), halls.names());
    figures.wall = Clock::now() - start;
    figures.brokerCpuPercent =
        PercentOf(broker.process().cpuTime().value_or(Duration::zero()) - brokerBefore, figures.wall);
    figures.controllersCpuPercent = PercentOf(ControllersCpu(halls) - controllersBefore, figures.wall);
    figures.driverCpuPercent = PercentOf(OwnCpuTime() - ownBefore, figures.wall);
    return ran;
}

}  // namespace

hall::Status PaceBlock(DriverClient& client, const Halls& halls, int events, PacedSamples& samples) {
    EventTracker tracker(halls.names());
    client.setSink(&tracker);
    const hall::Status ran = DriveEvents(client, tracker, EventPlan(1, kOneHallPeriod, events), halls.names());
    client.setSink(nullptr);
    samples.sent += tracker.sentCount();
    samples.latencies.insert(samples.latencies.end(), tracker.latencies().begin(), tracker.latencies().end());
    return ran;
}

hall::Status StartReady(DriverClient& client, Halls& halls, int port) {
    EventTracker tracker(halls.names());
    client.setSink(&tracker);
    const hall::Status ready = halls.startReady(port, client, tracker);
    client.setSink(nullptr);
    return ready;
}

hall::Status OneHall(DriverClient& client, const std::filesystem::path& root, int port, Figures& figures) {
    // Both run throughout, so that each block has the other controller idle beside it.
    std::array<Halls, 2> sides = {Halls(root, {"z-dziennikiem"}, std::string(kPacedDelayMinutes)),
                                  Halls(root, {"bez-dziennika"}, std::string(kPacedDelayMinutes))};
    sides[0].addConfig(std::string(kLampPowers));
    sides[1].addConfig("dziennik brak\n");
    std::array<PacedSamples, 2> samples;
    hall::Status ran = StartReady(client, sides[0], port);
    if (ran) ran = StartReady(client, sides[1], port);
    for (int block = 0; block < 2 * kOneHallPairs && ran; ++block) {
        const std::size_t side = (block + block / 2) % 2;  // 0 1, 1 0, 0 1, …
        ran = PaceBlock(client, sides[side], kOneHallEventsPerBlock, samples[side]);
    }
    figures.oneHall = samples[0].summary();
    figures.oneHallWithoutLedger = samples[1].summary();
    if (!ran) return ran;
    const bool stopped = sides[0].stop(), stoppedToo = sides[1].stop();
    if (!stopped || !stoppedToo) return hall::Unexpected("sterownik nie zakończył się na SIGTERM");
    return {};
}

hall::Status ManyHalls(DriverClient& client, BrokerProcess& broker, const std::filesystem::path& root, Disk disk,
                       ManyHallsFigures& figures) {
    const std::filesystem::path lock = root / "wolny-dysk.lock";
    Halls halls(root, HallNames(kHalls, disk == Disk::This ? "hala" : "wolna"), std::string(kPacedDelayMinutes),
                disk == Disk::This ? std::vector<std::string>() : SlowDiskEnvironment(lock));
    halls.addConfig(std::string(kLampPowers));
    EventTracker tracker(halls.names());
    client.setSink(&tracker);
    if (const hall::Status ready = halls.startReady(broker.port(), client, tracker); !ready) return ready;
    const hall::Result<std::vector<CommitCount>> commitsBefore = CountCommits(halls, Unreadable::CountsNone);
    if (!commitsBefore) return hall::Unexpected(commitsBefore.error());
    const slow_disk::Served before = ServedSoFar(lock);
    const hall::Status ran = Drive(client, broker, halls, tracker, figures);
    const slow_disk::Served after = ServedSoFar(lock);
    const hall::Result<std::vector<CommitCount>> commitsAfter = CountCommits(halls, Unreadable::Fails);
    figures.flushes = after.flushes - before.flushes;
    figures.diskBusy = std::chrono::nanoseconds(after.heldNanoseconds - before.heldNanoseconds);
    client.setSink(nullptr);
    figures.halls = kHalls;
    figures.sent = tracker.sentCount();
    figures.latency = Summarize(tracker.latencies());
    TakeResources(halls, figures);
    if (!ran) return ran;
    if (!commitsAfter) return hall::Unexpected(commitsAfter.error());
    figures.ledgerCommits = CommitsPerMinute(*commitsBefore, *commitsAfter);
    // Without a flush served, the controllers wrote to this machine's disk: the figures would be of that one.
    if (disk == Disk::Slow && figures.flushes == 0)
        return hall::Unexpected("wolny dysk nie obsłużył żadnego zapisu: biblioteka " SLOW_DISK_LIBRARY
                                " nie działała w sterownikach");
    if (!halls.stop()) return hall::Unexpected("nie każdy sterownik zakończył się na SIGTERM");
    return {};
}

}  // namespace bench
