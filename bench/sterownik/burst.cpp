#include "burst.h"

#include "bench_halls.h"
#include "broker_process.h"
#include "controller_config.h"
#include "event_tracker.h"
#include "posix_file.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <array>
#include <optional>
#include <string>

namespace bench {
namespace {

using namespace std::chrono_literals;

constexpr int kEvents = 10'000;
constexpr int kKey = 0;  // A1
constexpr int kScene = 1;
// Longer than the burst: no zone is released during it, so every line and
// the lamps at the end come from the events alone.
constexpr std::string_view kDelayMinutes = "60";
// The whole burst, from the first event sent to the last one carried out.
constexpr Duration kBurstTime = 60s;
// Nothing new for this long once the broker has acknowledged every event: the rest is lost.
constexpr Duration kQuiet = 5s;
constexpr Duration kLogLook = 10ms;
// The publishing client's window: without one, libmosquitto walks every
// unacknowledged message at each acknowledgement, and the client, not the
// controller, would set the pace.
constexpr unsigned kClientInflight = 100;
const std::string kStateName = hall::kStateFilePath.filename().string();

// The key's scene: every odd lamp. Each zone has even lamps too, so motion
// after the scene always lights some, and the key after motion always puts
// them out: each event switches lamps, and so leaves a line.
hall::SceneBoxes KeyScene() {
    hall::SceneBoxes boxes{};
    for (int n = 1; n <= hall::kLampCount; n += 2) boxes[n - 1] = 1;
    return boxes;
}

// Even events press the key, odd ones report motion on the inputs in turn;
// the last one is motion.
struct BurstEvent {
    int input;  // 0: the key
};

BurstEvent EventAt(int i) { return {i % 2 == 0 ? 0 : (i / 2) % hall::kSensorCount + 1}; }

// What the rules make of the burst from all lamps off: the key sets its
// scene, motion adds its zone, and nothing is released.
hall::LampsLit RulesOutcome() {
    const hall::SceneBoxes scene = KeyScene();
    hall::LampsLit lamps{};
    for (int i = 0; i < kEvents; ++i) {
        const BurstEvent event = EventAt(i);
        if (event.input == 0) {
            for (int n = 0; n < hall::kLampCount; ++n) lamps[n] = scene[n] == 1;
            continue;
        }
        const LampBlock zone = ZoneLamps(event.input);
        for (int n = zone.first; n <= zone.last; ++n) lamps[n - 1] = true;
    }
    return lamps;
}

// Each durable replace of actual.txt is one rename onto it, seen here as it happens.
class Replaces {
public:
    Replaces() : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

    hall::Status watch(const std::filesystem::path& directory) {
        if (fd_.valid() && ::inotify_add_watch(fd_.get(), directory.c_str(), IN_MOVED_TO) >= 0) return {};
        return hall::Unexpected("nie można obserwować katalogu " + directory.string() + " (inotify)");
    }
    Watch asWatch() {
        return {fd_.get(), [this] { return read(); }};
    }
    // Fails when the kernel's queue overflowed: renames went uncounted.
    hall::Status read() {
        alignas(inotify_event) std::array<char, 4096> buffer;
        for (ssize_t got; (got = ::read(fd_.get(), buffer.data(), buffer.size())) > 0;) {
            const TimePoint now = Clock::now();
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + at);
                if (event->mask & IN_Q_OVERFLOW) return hall::Unexpected("kolejka inotify przepełniona");
                if (event->len > 0 && kStateName == event->name) ++count, last = now;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        return {};
    }

    std::size_t count = 0;
    std::optional<TimePoint> last;

private:
    hall::os::Descriptor fd_;
};

// The controller's log lines about a key press or a motion report, counted as the log grows.
class EventLines {
public:
    explicit EventLines(const std::filesystem::path& log) : fd_(::open(log.c_str(), O_RDONLY | O_CLOEXEC)) {}
    bool valid() const { return fd_.valid(); }

    // Whether new lines came.
    bool read() {
        const std::size_t before = count;
        std::array<char, 65536> buffer;
        for (ssize_t got; (got = ::read(fd_.get(), buffer.data(), buffer.size())) > 0;) {
            partial_.append(buffer.data(), static_cast<std::size_t>(got));
            std::size_t start = 0;
            for (std::size_t end; (end = partial_.find('\n', start)) != std::string::npos; start = end + 1) {
                const std::string_view line(partial_.data() + start, end - start);
                count += line.starts_with("klawisz ") || line.starts_with("czujnik ");
            }
            partial_.erase(0, start);
        }
        return count != before;
    }

    std::size_t count = 0;

private:
    hall::os::Descriptor fd_;
    std::string partial_;  // a line not yet ended
};

std::string Topic(const std::string& hall, const BurstEvent& event) {
    if (event.input == 0) return "hala/" + hall + "/klawisz/" + hall::KeyName(kKey);
    return "hala/" + hall + "/czujnik/" + std::to_string(event.input);
}

// Every event published at once, then until all are logged, or nothing more
// comes once the broker has taken them all.
hall::Status Send(DriverClient& client, const std::string& hall, Replaces& replaces, EventLines& lines,
                  BurstFigures& figures) {
    const TimePoint start = Clock::now();
    for (int i = 0; i < kEvents; ++i) client.publish(Topic(hall, EventAt(i)), "1");
    figures.events = kEvents;
    TimePoint lastNews = start;
    const RunEnd end = client.run(
        start + kBurstTime,
        [&] {
            return lines.count >= kEvents ||
                   (figures.acknowledged && Clock::now() - std::max(lastNews, replaces.last.value_or(start)) > kQuiet);
        },
        [&](TimePoint now) {
            if (!figures.acknowledged && client.acknowledged() >= kEvents) figures.acknowledged = now - start;
            if (lines.read()) lastNews = now;
            return now + kLogLook;
        });
    // A rename the loop had not read yet is seen now, a little late.
    const hall::Status counted = replaces.read();
    lines.read();
    figures.logged = lines.count;
    figures.replaces = replaces.count;
    if (replaces.last) figures.lastWritten = *replaces.last - start;
    if (end == RunEnd::Stopped) return hall::Unexpected(client.stopReason());
    return counted;
}

void CheckOutcome(const std::filesystem::path& hall, BurstFigures& figures) {
    const hall::LampsLit expected = RulesOutcome();
    figures.litExpected = hall::LitCount(expected);
    const hall::os::SysResult<hall::LampsLit> found = hall::ReadStateFile(hall / hall::kStateFilePath.filename());
    if (found) figures.litFound = hall::LitCount(*found);
    figures.asRules = found && *found == expected;
}

// The hall and its controller started and ready, then the burst.
hall::Status Run(const std::filesystem::path& root, BrokerProcess& broker, DriverClient& client, Replaces& replaces,
                 BurstFigures& figures) {
    if (const hall::Status connected = client.connect(broker.port()); !connected) return connected;
    if (const hall::Status subscribed = client.subscribe(EventTracker::Subscriptions()); !subscribed) return subscribed;
    Halls halls(root, {"burza"}, std::string(kDelayMinutes));
    EventTracker tracker(halls.names());
    hall::Status ready = halls.lay(broker.port());
    if (ready) ready = AssignKey(halls.hall(0), kKey, kScene, KeyScene());
    if (ready) ready = halls.start();
    client.setSink(&tracker);
    if (ready) ready = halls.waitReady(client, tracker);
    client.setSink(nullptr);
    if (ready) ready = replaces.watch(halls.hall(0));
    if (!ready) return ready;
    EventLines lines(halls.log(0));
    if (!lines.valid()) return hall::Unexpected("nie można czytać dziennika " + halls.log(0).string());
    const hall::Status sent = Send(client, halls.names()[0], replaces, lines, figures);
    if (!sent) return sent;
    CheckOutcome(halls.hall(0), figures);
    if (!halls.stop()) return hall::Unexpected("sterownik nie zakończył się na SIGTERM");
    return {};
}

// The burst through a broker of its own, set by `limits`, all in `root`.
hall::Status MeasureThrough(const std::filesystem::path& root, BrokerLimits limits, std::vector<Watch> watches,
                            BurstFigures& figures) {
    BrokerProcess broker;
    if (const hall::Status started = broker.start(root / "broker", limits); !started) return started;
    Replaces replaces;
    watches.push_back(broker.endWatch());
    watches.push_back(replaces.asWatch());
    DriverClient client(std::move(watches));
    client.limitInflight(kClientInflight);
    return Run(root, broker, client, replaces, figures);
}

}  // namespace

hall::Status MeasureBurst(const std::filesystem::path& root, const std::vector<Watch>& watches, BurstFigures& figures,
                          BurstFigures& atDefaults) {
    if (const hall::Status measured = MeasureThrough(root / "burza-hala", BrokerLimits::Hall, watches, figures);
        !measured)
        return measured;
    return MeasureThrough(root / "burza-debian", BrokerLimits::Default, watches, atDefaults);
}

}  // namespace bench
