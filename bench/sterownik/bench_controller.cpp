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
    const auto time = [](const timeval& t) { return std::chrono::seconds(t.tv_sec) + std::chrono::microseconds(t.tv_usec); };
    return time(usage.ru_utime) + time(usage.ru_stime);
}

double PercentOf(Duration cpu, Duration wall) {
    return wall > Duration::zero() ? 100.0 * std::chrono::duration<double>(cpu) / std::chrono::duration<double>(wall) : 0;
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

// One replace of actual.txt, timed; nothing when it fails.
std::optional<Duration> TimedReplace(const std::filesystem::path& file, bool lit, std::string& error) {
    hall::LampStates states = hall::AllOffStates();
    if (lit) states.fill(hall::kStateOn);
    const TimePoint start = Clock::now();
    if (!hall::WriteStateFile(states, file, &error)) return std::nullopt;
    return Clock::now() - start;
}

std::optional<Floors> MeasureFloors(DriverClient& client, const std::filesystem::path& directory, std::string& error) {
    const std::string topic = "bench/obieg";
    std::error_code ec;
    std::filesystem::create_directories(directory, ec);
    const std::filesystem::path file = directory / hall::kStateFilePath.filename();
    if (!client.subscribe({topic}, error)) return std::nullopt;
    RoundTrips trips;
    std::vector<Duration> replaces;
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
            if (now >= nextReplace && replaces.size() < kFloorSamples && error.empty()) {
                if (const std::optional<Duration> took = TimedReplace(file, replaces.size() % 2, error)) replaces.push_back(*took);
                nextReplace += kOneHallPeriod;
            }
            return std::min(nextTrip, nextReplace);
        });
    client.setSink(nullptr);
    if (end == RunEnd::Finished) return Floors{Summarize(trips.samples), Summarize(replaces)};
    if (error.empty()) error = end == RunEnd::Stopped ? client.stopReason() : "obieg przez brokera nie wrócił na czas";
    return std::nullopt;
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

    bool start(int port, std::string& error) {
        for (const std::string& name : names_) {
            if (!LayOutHall(root_ / name, port, kDelayMinutes, error)) return false;
            controllers_.push_back(std::make_unique<ChildProcess>(
                SpawnRequest{{STEROWNIK_PROGRAM}, WorkingDirectory(root_ / name), root_ / (name + ".log"), false}));
            if (!controllers_.back()->started()) {
                error = controllers_.back()->error();
                return false;
            }
        }
        return true;
    }

    bool waitReady(DriverClient& client, EventTracker& tracker, std::string& error) {
        const int all = static_cast<int>(names_.size());
        const RunEnd end = client.run(Clock::now() + kReadyTime, [&] { return tracker.readyHalls() == all; },
                                      [](TimePoint now) { return now + 1s; });
        if (end == RunEnd::Finished) return true;
        error = end == RunEnd::Stopped ? client.stopReason()
                                       : std::to_string(tracker.readyHalls()) + " z " + std::to_string(all) +
                                             " sterowników gotowych po 30 s (online i 108 lamp)" + endedOnes();
        return false;
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
                text += "\nsterownik hali " + names_[i] + " zakończył działanie:\n" + LogTail(root_ / (names_[i] + ".log"));
        return text;
    }

    std::filesystem::path root_;
    std::vector<std::string> names_;
    std::vector<std::unique_ptr<ChildProcess>> controllers_;
};

// Sends the plan's events on time, and waits for the late ones up to the grace.
bool DriveEvents(DriverClient& client, EventTracker& tracker, const EventPlan& plan, const std::vector<std::string>& names,
                 std::string& error) {
    std::vector<std::array<std::string, hall::kSensorCount>> topics(names.size());
    for (std::size_t h = 0; h < names.size(); ++h)
        for (int k = 1; k <= hall::kSensorCount; ++k) topics[h][k - 1] = "hala/" + names[h] + "/czujnik/" + std::to_string(k);
    const TimePoint start = Clock::now();
    std::size_t next = 0;
    const RunEnd end = client.run(
        start + plan.length() + kGrace, [&] { return next == plan.size() && tracker.backCount() == tracker.sentCount(); },
        [&](TimePoint now) {
            for (; next < plan.size() && start + plan[next].at <= now; ++next) {
                const PlannedEvent event = plan[next];
                tracker.sent(event.hall, event.input, Clock::now());
                client.publish(topics[event.hall][event.input - 1], "1");
            }
            return next < plan.size() ? start + plan[next].at : now + 1s;
        });
    if (end != RunEnd::Stopped) return true;
    error = client.stopReason();
    return false;
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

bool OneHall(DriverClient& client, const std::filesystem::path& root, int port, Figures& figures, std::string& error) {
    Halls halls(root, {"pomiar"});
    EventTracker tracker(halls.names());
    client.setSink(&tracker);
    const bool ran = halls.start(port, error) && halls.waitReady(client, tracker, error) &&
                     DriveEvents(client, tracker, EventPlan(1, kOneHallPeriod, kOneHallEvents), halls.names(), error);
    client.setSink(nullptr);
    figures.oneHall = Summarize(tracker.latencies());
    figures.oneHallSent = tracker.sentCount();
    if (ran && !halls.stop()) error = "sterownik nie zakończył się na SIGTERM";
    return ran && error.empty();
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

bool ManyHalls(DriverClient& client, BrokerProcess& broker, const std::filesystem::path& root, Figures& figures,
               std::string& error) {
    Halls halls(root, HallNames(kHalls, "hala"));
    EventTracker tracker(halls.names());
    client.setSink(&tracker);
    if (!halls.start(broker.port(), error) || !halls.waitReady(client, tracker, error)) return false;
    const TimePoint start = Clock::now();
    const Duration brokerBefore = broker.process().cpuTime().value_or(Duration::zero());
    const Duration controllersBefore = ControllersCpu(halls), ownBefore = OwnCpuTime();
    const bool ran = DriveEvents(client, tracker, EventPlan(kHalls, kHallPeriod, kEventsPerHall), halls.names(), error);
    const Duration wall = Clock::now() - start;
    figures.brokerCpuPercent = PercentOf(broker.process().cpuTime().value_or(Duration::zero()) - brokerBefore, wall);
    figures.controllersCpuPercent = PercentOf(ControllersCpu(halls) - controllersBefore, wall);
    figures.driverCpuPercent = PercentOf(OwnCpuTime() - ownBefore, wall);
    client.setSink(nullptr);
    figures.halls = kHalls;
    figures.manySent = tracker.sentCount();
    figures.many = Summarize(tracker.latencies());
    TakeResources(halls, figures);
    if (ran && !halls.stop()) error = "nie każdy sterownik zakończył się na SIGTERM";
    return ran && error.empty();
}

bool AllMet(const std::vector<Row>& rows) {
    return std::none_of(rows.begin(), rows.end(), [](const Row& row) { return row.verdict.starts_with("NOT MET"); });
}

int Run() {
    const TemporaryDirectory root;
    if (root.path().empty()) {
        std::cerr << "bench_controller: nie można utworzyć katalogu tymczasowego\n";
        return 2;
    }
    const int signals = StopSignals();
    BrokerProcess broker;
    std::string error;
    if (signals < 0 || !broker.start(root.path(), error)) {
        std::cerr << "bench_controller: " << (signals < 0 ? "nie można przejąć sygnałów" : error) << '\n';
        return 2;
    }
    DriverClient client({{signals, [] { return std::string("przerwano sygnałem"); }},
                         {broker.log(), [&] { return broker.readLog() ? std::string() : "mosquitto zakończył działanie"; }}});
    Figures figures;
    const auto step = [&](const char* what, auto&& part) {
        std::cerr << what << "...\n";
        return part();
    };
    std::optional<Floors> floors;
    const bool measured =
        client.connect(broker.port(), error) && client.subscribe(EventTracker::Subscriptions(), error) &&
        step("obieg przez brokera i zapis actual.txt",
             [&] { return (floors = MeasureFloors(client, root.path() / "podloga", error)).has_value(); }) &&
        step("jedna hala, 1000 zdarzeń", [&] { return OneHall(client, root.path(), broker.port(), figures, error); }) &&
        step("100 hal przez 60 s", [&] { return ManyHalls(client, broker, root.path(), figures, error); });
    if (!measured) {
        std::cerr << "bench_controller: " << error << '\n';
        return 2;
    }
    figures.brokerRoundTrip = floors->roundTrip;
    figures.durableReplace = floors->replace;
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
