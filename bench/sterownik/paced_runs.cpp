#include "paced_runs.h"

#include "bench_halls.h"
#include "event_tracker.h"
#include "ledger_commits.h"
#include "panel_access.h"
#include "panel_clients.h"
#include "slow_disk.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <limits>
#include <optional>

namespace bench {
namespace {

using namespace std::chrono_literals;

// The one hall's sides: as by default, without its ledger, and with its web panel watched.
enum OneHallSide : std::size_t { kWithLedger, kWithoutLedger, kWithPanels, kOneHallSides };
// Each side 1,020 events, 51 s at the one hall's pace, one block of each a
// round. Over the six rounds each side comes first, second and last twice,
// and within a round after each other side twice: the machine's drift and the
// block before fall on all three alike.
constexpr int kOneHallEventsPerBlock = 170;
constexpr std::array<std::array<OneHallSide, kOneHallSides>, 6> kOneHallRounds = {{
    {kWithLedger, kWithoutLedger, kWithPanels},
    {kWithoutLedger, kWithPanels, kWithLedger},
    {kWithPanels, kWithLedger, kWithoutLedger},
    {kWithPanels, kWithoutLedger, kWithLedger},
    {kWithLedger, kWithPanels, kWithoutLedger},
    {kWithoutLedger, kWithLedger, kWithPanels},
}};
// The live views the panel side's web panel has open throughout, as a floor's tablets would.
constexpr int kPanels = 50;
constexpr Duration kPanelsConnectTime = 10s;
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

// Where the panel side's live views connect, and with what session.
struct PanelAccess {
    int port = 0;
    std::string token;
};

// The ledger as by default, and the web panel on a free port with one session, as after a login.
hall::Result<PanelAccess> AddPanel(Halls& halls) {
    const int port = FreePort();
    if (port == 0) return hall::Unexpected("brak wolnego portu dla panelu sterownika");
    std::optional<std::string> token = sterownik::panel::NewToken();
    if (!token) return hall::Unexpected("brak liczb losowych dla sesji panelu");
    halls.addConfig(std::string(kLampPowers));
    halls.addConfig("panel 127.0.0.1:" + std::to_string(port) + "\n");
    halls.addPanelSession(
        {*token, "bench", std::chrono::time_point_cast<std::chrono::milliseconds>(std::chrono::system_clock::now())});
    return PanelAccess{port, std::move(*token)};
}

// What the panels received over one block of any side.
void CountBlock(const PanelCounts& before, const PanelCounts& after, Duration took, PanelFigures& figures) {
    std::size_t fewest = std::numeric_limits<std::size_t>::max();
    for (std::size_t i = 0; i < after.received.size(); ++i) {
        const std::size_t received = after.received[i] - before.received[i];
        figures.received += received;
        fewest = std::min(fewest, received);
    }
    const bool first = figures.shortestBlock == Duration::zero();
    figures.fewestInBlock = first ? fewest : std::min(figures.fewestInBlock, fewest);
    figures.shortestBlock = first ? took : std::min(figures.shortestBlock, took);
}

// CPU so far: the panel side's controller, the same hall's without the panel, and the panels' thread.
struct PanelCpu {
    Duration withPanel, withoutPanel, clients;
};

PanelCpu CpuSoFar(const std::array<Halls, kOneHallSides>& sides, const PanelClients& panels) {
    return {ControllersCpu(sides[kWithPanels]), ControllersCpu(sides[kWithLedger]), panels.cpuTime()};
}

// After the blocks, with the panels still connected.
void TakePanelResources(const std::array<Halls, kOneHallSides>& sides, const PanelClients& panels,
                        const PanelCpu& before, Duration wall, PanelFigures& figures) {
    const PanelCpu after = CpuSoFar(sides, panels);
    figures.cpuPercent = PercentOf(after.withPanel - before.withPanel, wall);
    figures.withoutPanelCpuPercent = PercentOf(after.withoutPanel - before.withoutPanel, wall);
    figures.clientsCpuPercent = PercentOf(after.clients - before.clients, wall);
    const auto memory = [&](OneHallSide side, long& proportional, long& own) {
        const auto& controllers = sides[side].controllers();
        if (controllers.empty()) return;
        proportional = controllers.front()->proportionalKiB().value_or(0);
        own = controllers.front()->privateResidentKiB().value_or(0);
    };
    memory(kWithPanels, figures.proportionalKiB, figures.privateKiB);
    memory(kWithLedger, figures.withoutPanelKiB, figures.withoutPanelPrivateKiB);
    const PanelCounts counts = panels.counts();
    figures.openAfter = counts.connected - counts.closed;
}

// The blocks of all sides, the panels connected before the first and closed after the last.
hall::Status PaceSides(DriverClient& client, std::array<Halls, kOneHallSides>& sides, const PanelAccess& panel,
                       Figures& figures) {
    PanelClients panels(panel.port, panel.token, kPanels);
    if (const hall::Status connected = panels.waitConnected(kPanelsConnectTime); !connected) return connected;
    figures.panels.panels = kPanels;
    figures.panels.connected = panels.counts().connected;
    std::array<PacedSamples, kOneHallSides> samples;
    const PanelCpu cpu = CpuSoFar(sides, panels);
    const TimePoint blocksStart = Clock::now();
    hall::Status ran;
    for (std::size_t block = 0; block < kOneHallRounds.size() * kOneHallSides && ran; ++block) {
        const OneHallSide side = kOneHallRounds[block / kOneHallSides][block % kOneHallSides];
        const PanelCounts before = panels.counts();
        const TimePoint start = Clock::now();
        ran = PaceBlock(client, sides[side], kOneHallEventsPerBlock, samples[side]);
        CountBlock(before, panels.counts(), Clock::now() - start, figures.panels);
        // A controller that ended would leave its side's blocks lost and the others' beside less.
        for (Halls& halls : sides)
            if (ran) ran = halls.running();
    }
    figures.oneHall = samples[kWithLedger].summary();
    figures.oneHallWithoutLedger = samples[kWithoutLedger].summary();
    figures.oneHallWithPanels = samples[kWithPanels].summary();
    TakePanelResources(sides, panels, cpu, Clock::now() - blocksStart, figures.panels);
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
    // All run throughout, so that each block has the other controllers idle beside it.
    std::array<Halls, kOneHallSides> sides = {Halls(root, {"z-dziennikiem"}, std::string(kPacedDelayMinutes)),
                                              Halls(root, {"bez-dziennika"}, std::string(kPacedDelayMinutes)),
                                              Halls(root, {"z-panelami"}, std::string(kPacedDelayMinutes))};
    sides[kWithLedger].addConfig(std::string(kLampPowers));
    sides[kWithoutLedger].addConfig("dziennik brak\n");
    const hall::Result<PanelAccess> panel = AddPanel(sides[kWithPanels]);
    if (!panel) return hall::Unexpected(panel.error());
    hall::Status ran;
    for (Halls& side : sides)
        if (ran) ran = StartReady(client, side, port);
    if (ran) ran = PaceSides(client, sides, *panel, figures);
    if (!ran) return ran;
    bool stopped = true;
    for (Halls& side : sides) stopped = side.stop() && stopped;
    if (!stopped) return hall::Unexpected("sterownik nie zakończył się na SIGTERM");
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
