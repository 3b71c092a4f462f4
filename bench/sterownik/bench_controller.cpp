// The hall's controller under load, on this machine: its own mosquitto, its
// halls in a temporary directory, the controllers as child processes, and
// one client that sends motion and times the lamps coming back. Prints the
// table of figures and goals; exit status 0 when every goal is met, 1 when
// one is not, 2 when the run could not be measured.
#include "bench_halls.h"
#include "broker_process.h"
#include "child_process.h"
#include "driver_client.h"
#include "event_tracker.h"
#include "latency.h"
#include "report.h"

#include "lamp_state.h"
#include "result.h"

#include <mosquitto.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>

namespace bench {
namespace {

using namespace std::chrono_literals;

// Each floor paced as the one hall's events, the two taking turns: an idle
// machine wakes up more slowly than a busy one, and so does its disk.
constexpr int kFloorSamples = 200;
constexpr int kOneHallEvents = 1000;
constexpr Duration kOneHallPeriod = 50ms;  // 20 events a second
constexpr int kHalls = 100;
constexpr Duration kHallPeriod = 200ms;  // 5 events a second in each hall
constexpr int kEventsPerHall = 300;      // for 60 s
// 30 ms: a zone is released between two events of its hall, never during one.
constexpr std::string_view kDelayMinutes = "0.0005";
constexpr Duration kReadyTime = 30s;
// After the last event, for the late ones; what is still missing then is lost.
constexpr Duration kGrace = 5s;
constexpr Duration kRoundTripTime = 30s;

class TemporaryDirectory {
public:
    TemporaryDirectory() {
        const char* base = std::getenv("TMPDIR");
        std::string name = std::string(base && *base ? base : "/tmp") + "/bench-sterownik-XXXXXX";
        if (::mkdtemp(name.data())) path_ = name;
    }
    ~TemporaryDirectory() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// SIGINT and SIGTERM as a descriptor, so that a stopped run still cleans up.
int StopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    if (sigprocmask(SIG_BLOCK, &signals, nullptr) != 0) return -1;
    return ::signalfd(-1, &signals, SFD_CLOEXEC | SFD_NONBLOCK);
}

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

// A client's own messages, one in flight at a time.
class RoundTrips : public MessageSink {
public:
    void received(std::string_view, std::string_view, TimePoint at) override {
        if (!waiting_) return;
        samples.push_back(at - sentAt_);
        waiting_ = false;
    }
    bool idle() const { return !waiting_; }
    void sent(TimePoint at) {
        sentAt_ = at;
        waiting_ = true;
    }
    std::vector<Duration> samples;

private:
    bool waiting_ = false;
    TimePoint sentAt_{};
};

struct Floors {
    LatencySummary roundTrip, replace;
};

// One replace of actual.txt, timed; fails with the reason it could not be written.
hall::Result<Duration> TimedReplace(const std::filesystem::path& file, bool lit) {
    hall::LampStates states = hall::AllOffStates();
    if (lit) states.fill(hall::kStateOn);
    const TimePoint start = Clock::now();
    if (const hall::Status written = hall::WriteStateFile(states, file); !written)
        return hall::Unexpected(written.error());
    return Clock::now() - start;
}

hall::Result<Floors> MeasureFloors(DriverClient& client, const std::filesystem::path& directory) {
    const std::string topic = "bench/obieg";
    std::error_code ec;
    std::filesystem::create_directories(directory, ec);
    const std::filesystem::path file = directory / hall::kStateFilePath.filename();
    if (const hall::Status subscribed = client.subscribe({topic}); !subscribed)
        return hall::Unexpected(subscribed.error());
    RoundTrips trips;
    std::vector<Duration> replaces;
    hall::Status replaced;  // the first failed replace ends them
    client.setSink(&trips);
    TimePoint nextTrip = Clock::now(), nextReplace = nextTrip + kOneHallPeriod / 2;
    const RunEnd end = client.run(
        Clock::now() + kFloorSamples * kOneHallPeriod + kRoundTripTime,
        [&] { return trips.samples.size() == kFloorSamples && replaces.size() == kFloorSamples; },
        [&](TimePoint now) {
            if (now >= nextTrip && trips.idle() && trips.samples.size() < kFloorSamples) {
                trips.sent(Clock::now());
                client.publish(topic, "1");
                nextTrip += kOneHallPeriod;
            }
            if (now >= nextReplace && replaces.size() < kFloorSamples && replaced) {
                if (const hall::Result<Duration> took = TimedReplace(file, replaces.size() % 2); took)
                    replaces.push_back(*took);
                else
                    replaced = hall::Unexpected(took.error());
                nextReplace += kOneHallPeriod;
            }
            return std::min(nextTrip, nextReplace);
        });
    client.setSink(nullptr);
    if (end == RunEnd::Finished) return Floors{Summarize(trips.samples), Summarize(replaces)};
    if (!replaced) return hall::Unexpected(replaced.error());
    if (end == RunEnd::Stopped) return hall::Unexpected(client.stopReason());
    return hall::Unexpected("obieg przez brokera nie wrócił na czas");
}

std::string LogTail(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    std::string tail;
    for (std::size_t i = lines.size() > 5 ? lines.size() - 5 : 0; i < lines.size(); ++i) tail += "  " + lines[i] + "\n";
    return tail;
}

// The halls of one part of the run and their controllers, stopped at the end.
class Halls {
public:
    Halls(const std::filesystem::path& root, std::vector<std::string> names) : root_(root), names_(std::move(names)) {}

    hall::Status start(int port) {
        for (const std::string& name : names_) {
            if (const hall::Status laidOut = LayOutHall(root_ / name, port, kDelayMinutes); !laidOut) return laidOut;
            hall::Result<std::unique_ptr<ChildProcess>> controller = ChildProcess::Start(
                SpawnRequest{{STEROWNIK_PROGRAM}, WorkingDirectory(root_ / name), root_ / (name + ".log"), false});
            if (!controller) return hall::Unexpected(controller.error());
            controllers_.push_back(std::move(*controller));
        }
        return {};
    }

    hall::Status waitReady(DriverClient& client, EventTracker& tracker) {
        const int all = static_cast<int>(names_.size());
        const RunEnd end = client.run(
            Clock::now() + kReadyTime, [&] { return tracker.readyHalls() == all; },
            [](TimePoint now) { return now + 1s; });
        if (end == RunEnd::Finished) return {};
        if (end == RunEnd::Stopped) return hall::Unexpected(client.stopReason());
        return hall::Unexpected(std::to_string(tracker.readyHalls()) + " z " + std::to_string(all) +
                                " sterowników gotowych po 30 s (online i 108 lamp)" + endedOnes());
    }

    // Ready only once started: a hall that failed to start is not waited for.
    hall::Status startReady(int port, DriverClient& client, EventTracker& tracker) {
        const hall::Status started = start(port);
        return started ? waitReady(client, tracker) : started;
    }

    const std::vector<std::string>& names() const { return names_; }
    const std::vector<std::unique_ptr<ChildProcess>>& controllers() const { return controllers_; }

    // False when one did not end on SIGTERM.
    bool stop() {
        bool clean = true;
        for (auto& controller : controllers_) clean = controller->stop() && clean;
        return clean;
    }

private:
    std::string endedOnes() {
        std::string text;
        for (std::size_t i = 0; i < controllers_.size(); ++i)
            if (controllers_[i]->ended())
                text +=
                    "\nsterownik hali " + names_[i] + " zakończył działanie:\n" + LogTail(root_ / (names_[i] + ".log"));
        return text;
    }

    std::filesystem::path root_;
    std::vector<std::string> names_;
    std::vector<std::unique_ptr<ChildProcess>> controllers_;
};

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

std::vector<std::string> HallNames(int count, const std::string& stem) {
    std::vector<std::string> names;
    for (int i = 1; i <= count; ++i) {
        std::string number = std::to_string(i);
        names.push_back(stem + std::string(number.size() < 3 ? 3 - number.size() : 0, '0') + number);
    }
    return names;
}

long Median(std::vector<long> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[(values.size() - 1) / 2];
}

hall::Status OneHall(DriverClient& client, const std::filesystem::path& root, int port, Figures& figures) {
    Halls halls(root, {"pomiar"});
    EventTracker tracker(halls.names());
    client.setSink(&tracker);
    hall::Status ran = halls.startReady(port, client, tracker);
    if (ran) ran = DriveEvents(client, tracker, EventPlan(1, kOneHallPeriod, kOneHallEvents), halls.names());
    client.setSink(nullptr);
    figures.oneHall = Summarize(tracker.latencies());
    figures.oneHallSent = tracker.sentCount();
    if (!ran) return ran;
    if (!halls.stop()) return hall::Unexpected("sterownik nie zakończył się na SIGTERM");
    return {};
}

void TakeResources(const Halls& halls, Figures& figures) {
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

hall::Status ManyHalls(DriverClient& client, BrokerProcess& broker, const std::filesystem::path& root,
                       Figures& figures) {
    Halls halls(root, HallNames(kHalls, "hala"));
    EventTracker tracker(halls.names());
    client.setSink(&tracker);
    if (const hall::Status ready = halls.startReady(broker.port(), client, tracker); !ready) return ready;
    const TimePoint start = Clock::now();
    const Duration brokerBefore = broker.process().cpuTime().value_or(Duration::zero());
    const Duration controllersBefore = ControllersCpu(halls), ownBefore = OwnCpuTime();
    const hall::Status ran =
        DriveEvents(client, tracker, EventPlan(kHalls, kHallPeriod, kEventsPerHall), halls.names());
    const Duration wall = Clock::now() - start;
    figures.brokerCpuPercent = PercentOf(broker.process().cpuTime().value_or(Duration::zero()) - brokerBefore, wall);
    figures.controllersCpuPercent = PercentOf(ControllersCpu(halls) - controllersBefore, wall);
    figures.driverCpuPercent = PercentOf(OwnCpuTime() - ownBefore, wall);
    client.setSink(nullptr);
    figures.halls = kHalls;
    figures.manySent = tracker.sentCount();
    figures.many = Summarize(tracker.latencies());
    TakeResources(halls, figures);
    if (!ran) return ran;
    if (!halls.stop()) return hall::Unexpected("nie każdy sterownik zakończył się na SIGTERM");
    return {};
}

bool AllMet(const std::vector<Row>& rows) {
    return std::none_of(rows.begin(), rows.end(), [](const Row& row) { return row.verdict.starts_with("NOT MET"); });
}

// Everything measured into `figures`, each part announced on standard error.
hall::Status Measure(DriverClient& client, BrokerProcess& broker, const std::filesystem::path& root, Figures& figures) {
    if (const hall::Status connected = client.connect(broker.port()); !connected) return connected;
    if (const hall::Status subscribed = client.subscribe(EventTracker::Subscriptions()); !subscribed) return subscribed;
    std::cerr << "obieg przez brokera i zapis actual.txt...\n";
    const hall::Result<Floors> floors = MeasureFloors(client, root / "podloga");
    if (!floors) return hall::Unexpected(floors.error());
    figures.brokerRoundTrip = floors->roundTrip;
    figures.durableReplace = floors->replace;
    std::cerr << "jedna hala, 1000 zdarzeń...\n";
    if (const hall::Status measured = OneHall(client, root, broker.port(), figures); !measured) return measured;
    std::cerr << "100 hal przez 60 s...\n";
    return ManyHalls(client, broker, root, figures);
}

// A stop signal, or mosquitto ending, ends the run with its reason.
std::vector<Watch> StopWatches(int signals, BrokerProcess& broker) {
    return {{signals, []() -> hall::Status { return hall::Unexpected("przerwano sygnałem"); }},
            {broker.log(), [&broker]() -> hall::Status {
                 if (broker.readLog()) return {};
                 return hall::Unexpected("mosquitto zakończył działanie");
             }}};
}

// Exit status 2: the run could not be measured, for this reason.
int Unmeasured(std::string_view reason) {
    std::cerr << "bench_controller: " << reason << '\n';
    return 2;
}

int Run() {
    const TemporaryDirectory root;
    if (root.path().empty()) return Unmeasured("nie można utworzyć katalogu tymczasowego");
    const int signals = StopSignals();
    if (signals < 0) return Unmeasured("nie można przejąć sygnałów");
    BrokerProcess broker;
    if (const hall::Status started = broker.start(root.path()); !started) return Unmeasured(started.error());
    DriverClient client(StopWatches(signals, broker));
    Figures figures;
    if (const hall::Status measured = Measure(client, broker, root.path(), figures); !measured)
        return Unmeasured(measured.error());
    const std::vector<Row> rows = ReportRows(figures);
    std::cout << FormatTable(rows);
    return AllMet(rows) ? 0 : 1;
}

}  // namespace
}  // namespace bench

int main() {
    mosquitto_lib_init();
    const int status = bench::Run();
    mosquitto_lib_cleanup();
    return status;
}
