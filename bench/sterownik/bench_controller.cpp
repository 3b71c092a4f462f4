// The hall's controller under load, on this machine: its own mosquitto, its
// halls in a temporary directory, the controllers as child processes, and
// one client that sends events and times the lamps coming back; then halls on
// Modbus TCP modules of its own, served in its threads; then one hall serving
// the building management system, read by a Modbus client in its thread.
// Prints the table of figures and goals; exit status 0 when every goal is met,
// 1 when one is not, 2 when the run could not be measured. With --modbus, the
// Modbus figures alone; with --bms, the BMS figures alone; with --one-hall,
// the floors and the one hall alone.
#include "bms_runs.h"
#include "broker_process.h"
#include "burst.h"
#include "driver_client.h"
#include "event_tracker.h"
#include "latency.h"
#include "modbus_runs.h"
#include "paced_runs.h"
#include "report.h"

#include "lamp_state.h"
#include "result.h"

#include <mosquitto.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <iostream>
#include <string_view>
#include <utility>

namespace bench {
namespace {

using namespace std::chrono_literals;

// Each floor paced as the one hall's events, the two taking turns: an idle
// machine wakes up more slowly than a busy one, and so does its disk.
constexpr int kFloorSamples = 200;
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

bool AllMet(const std::vector<Row>& rows) {
    return std::none_of(rows.begin(), rows.end(), [](const Row& row) { return row.verdict.starts_with("NOT MET"); });
}

// A stop signal ends the run with its reason.
Watch SignalWatch(int signals) {
    return {signals, []() -> hall::Status { return hall::Unexpected("przerwano sygnałem"); }};
}

// The floors and the one hall, through the raised broker: the one hall's goals are read against the floors.
hall::Status MeasureOneHall(DriverClient& client, BrokerProcess& broker, const std::filesystem::path& root,
                            Figures& figures) {
    if (const hall::Status connected = client.connect(broker.port()); !connected) return connected;
    if (const hall::Status subscribed = client.subscribe(EventTracker::Subscriptions()); !subscribed) return subscribed;
    std::cerr << "obieg przez brokera i zapis actual.txt...\n";
    const hall::Result<Floors> floors = MeasureFloors(client, root / "podloga");
    if (!floors) return hall::Unexpected(floors.error());
    figures.brokerRoundTrip = floors->roundTrip;
    figures.durableReplace = floors->replace;
    std::cerr << "jedna hala z dziennikiem, bez niego i z 50 połączonymi panelami, po 1020 zdarzeń na zmianę...\n";
    return OneHall(client, root, broker.port(), figures);
}

// The runs through the raised broker: the floors, one hall, and the many halls on either disk.
hall::Status MeasurePaced(DriverClient& client, BrokerProcess& broker, const std::filesystem::path& root,
                          Figures& figures) {
    if (const hall::Status measured = MeasureOneHall(client, broker, root, figures); !measured) return measured;
    std::cerr << "100 hal przez 60 s...\n";
    if (const hall::Status measured = ManyHalls(client, broker, root, Disk::This, figures.many); !measured)
        return measured;
    std::cerr << "100 hal przez 60 s na wolnym dysku...\n";
    return ManyHalls(client, broker, root, Disk::Slow, figures.slow);
}

using PacedRuns = hall::Status (*)(DriverClient&, BrokerProcess&, const std::filesystem::path&, Figures&);

// `runs` through a raised broker of their own, with the client that drives them.
hall::Status ThroughBroker(PacedRuns runs, int signals, const std::filesystem::path& root, Figures& figures) {
    BrokerProcess broker;
    if (const hall::Status started = broker.start(root, BrokerLimits::Raised); !started) return started;
    DriverClient client({SignalWatch(signals), broker.endWatch()});
    return runs(client, broker, root, figures);
}

// Everything measured into `figures`, each part announced on standard error.
hall::Status Measure(int signals, const std::filesystem::path& root, Figures& figures) {
    if (const hall::Status measured = ThroughBroker(MeasurePaced, signals, root, figures); !measured) return measured;
    std::cerr << "jedna hala, 10000 zdarzeń naraz...\n";
    if (const hall::Status measured =
            MeasureBurst(root, {SignalWatch(signals)}, figures.burst, figures.burstAtDefaults);
        !measured)
        return measured;
    if (const hall::Status measured = MeasureModbus(root, signals, figures.modbus); !measured) return measured;
    return MeasureBms(root, {SignalWatch(signals)}, figures.bms);
}

// Exit status 2: the run could not be measured, for this reason.
int Unmeasured(std::string_view reason) {
    std::cerr << "bench_controller: " << reason << '\n';
    return 2;
}

// The whole run, or one part of it alone.
enum class Part { All, OneHall, Modbus, Bms, Burst };

hall::Status MeasurePart(Part part, int signals, const std::filesystem::path& root, Figures& figures) {
    switch (part) {
        case Part::OneHall: return ThroughBroker(MeasureOneHall, signals, root, figures);
        case Part::Modbus: return MeasureModbus(root, signals, figures.modbus);
        case Part::Bms: return MeasureBms(root, {SignalWatch(signals)}, figures.bms);
        case Part::Burst: return MeasureBurst(root, {SignalWatch(signals)}, figures.burst, figures.burstAtDefaults);
        case Part::All: break;
    }
    return Measure(signals, root, figures);
}

std::vector<Row> PartRows(Part part, const Figures& figures) {
    switch (part) {
        case Part::OneHall: return OneHallRows(figures);
        case Part::Modbus: return ModbusRows(figures.modbus);
        case Part::Bms: return BmsRows(figures.bms);
        case Part::Burst: return BurstRows(figures.burst, figures.burstAtDefaults);
        case Part::All: break;
    }
    return ReportRows(figures);
}

int Run(Part part) {
    const TemporaryDirectory root;
    if (root.path().empty()) return Unmeasured("nie można utworzyć katalogu tymczasowego");
    const int signals = StopSignals();
    if (signals < 0) return Unmeasured("nie można przejąć sygnałów");
    Figures figures;
    if (const hall::Status measured = MeasurePart(part, signals, root.path(), figures); !measured)
        return Unmeasured(measured.error());
    const std::vector<Row> rows = PartRows(part, figures);
    std::cout << FormatTable(rows);
    return AllMet(rows) ? 0 : 1;
}

// The options, each the part it runs alone.
constexpr std::array<std::pair<std::string_view, Part>, 4> kParts = {{
    {"--one-hall", Part::OneHall},
    {"--modbus", Part::Modbus},
    {"--bms", Part::Bms},
    {"--burst", Part::Burst},
}};

}  // namespace
}  // namespace bench

int main(int argc, char** argv) {
    const std::string_view option = argc == 2 ? argv[1] : "";
    const auto found = std::find_if(bench::kParts.begin(), bench::kParts.end(),
                                    [&](const auto& part) { return part.first == option; });
    if (argc > 2 || (argc == 2 && found == bench::kParts.end())) {
        std::cerr << "użycie: bench_controller [--one-hall | --modbus | --bms | --burst]\n";
        return 2;
    }
    mosquitto_lib_init();
    const int status = bench::Run(found == bench::kParts.end() ? bench::Part::All : found->second);
    mosquitto_lib_cleanup();
    return status;
}
