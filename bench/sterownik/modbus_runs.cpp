#include "modbus_runs.h"

#include "bench_halls.h"
#include "child_process.h"
#include "controller_config.h"
#include "line_file.h"
#include "modbus_client.h"
#include "modbus_server.h"
#include "scene_files.h"

#include <modbus/modbus.h>
#include <poll.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace bench {
namespace {

using namespace std::chrono_literals;

constexpr int kPollMs = 20;
constexpr int kCoils = hall::kLampCount;  // from address 0, one per lamp
constexpr std::size_t kCoilRuns = 1;      // cewki szafa1 0 1-108
constexpr int kFloorWrites = 300;
constexpr Duration kFloorPeriod = 50ms;
constexpr int kPresses = 300;
// Each press this long after the last one's start, and a fraction of the poll interval more.
constexpr Duration kPressPeriod = 100ms;
// A press whose coils have not come by then is lost.
constexpr Duration kPressTime = 1s;
constexpr Duration kFloorReplyTime = 1s;
// However slow the replies, the floor and each run of presses end by then, with what they have.
constexpr Duration kPartTime = 60s;
constexpr Duration kReadyTime = 30s;
constexpr Duration kReadyLook = 10ms;
// Of two modules, A has the keys and these lamps' coils, B the rest.
constexpr int kLampsOnA = 100;
// While B is frozen, sterownik.conf is read again this often.
constexpr Duration kReloadPeriod = 250ms;

// One key's scene lights every lamp, the other's none: each press switches every lamp.
struct KeyInput {
    int input;
    const char* key;
    int scene;
    bool lit;
};
constexpr KeyInput kAllOn{0, "A1", 1, true};
constexpr KeyInput kAllOff{1, "A2", 2, false};

std::string Said() { return modbus_strerror(errno); }

// Fails when a stop signal comes first.
hall::Status WaitUntil(int signals, TimePoint until) {
    for (Duration left; (left = until - Clock::now()) > Duration::zero();) {
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        const timespec timeout{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
        pollfd stop{signals, POLLIN, 0};
        if (::ppoll(&stop, 1, &timeout, nullptr) > 0) return hall::Unexpected("przerwano sygnałem");
    }
    return {};
}

hall::Result<LatencySummary> WriteFloor(int signals) {
    ModbusServer module;
    if (const hall::Status started = module.start(); !started) return hall::Unexpected(started.error());
    const ModbusClient client(modbus_new_tcp("127.0.0.1", module.port()));
    if (!client) return hall::Unexpected("nie można utworzyć klienta Modbus: " + Said());
    const auto limit = std::chrono::duration_cast<std::chrono::microseconds>(kFloorReplyTime).count();
    modbus_set_response_timeout(client.get(), static_cast<std::uint32_t>(limit / 1'000'000),
                                static_cast<std::uint32_t>(limit % 1'000'000));
    if (modbus_connect(client.get()) != 0)
        return hall::Unexpected("nie można połączyć się z modułem Modbus: " + Said());
    std::vector<std::uint8_t> bits(kCoils);
    std::vector<Duration> samples;
    const TimePoint end = Clock::now() + kPartTime;
    for (TimePoint next = Clock::now(); samples.size() < kFloorWrites && next < end; next += kFloorPeriod) {
        if (const hall::Status waited = WaitUntil(signals, next); !waited) return hall::Unexpected(waited.error());
        std::fill(bits.begin(), bits.end(), samples.size() % 2 == 0);
        const TimePoint start = Clock::now();
        if (modbus_write_bits(client.get(), 0, kCoils, bits.data()) != kCoils)
            return hall::Unexpected("moduł Modbus nie przyjął zapisu cewek: " + Said());
        samples.push_back(Clock::now() - start);
    }
    return Summarize(samples);
}

std::string Module(const std::string& name, int port) {
    return "modbus " + name + " 127.0.0.1:" + std::to_string(port) + " odpytywanie " + std::to_string(kPollMs) + "\n";
}

// A hall on its modules alone: the keys on A's first inputs, every lamp on
// A's coils, or lamps past A's share on B's when there is a B.
std::string HallConfig(int portA, std::optional<int> portB) {
    std::string text = "broker brak\n" + Module("szafa1", portA);
    if (portB)
        text += Module("szafa2", *portB) + "cewki szafa1 0 1-" + std::to_string(kLampsOnA) + "\ncewki szafa2 0 " +
                std::to_string(kLampsOnA + 1) + "-" + std::to_string(hall::kLampCount) + "\n";
    else
        text += "cewki szafa1 0 1-" + std::to_string(hall::kLampCount) + "\n";
    for (const KeyInput& key : {kAllOn, kAllOff})
        text += "wejscie szafa1 " + std::to_string(key.input) + " klawisz " + key.key + "\n";
    return text;
}

// Laid out as the MQTT halls are, then given its keys' scenes and, in place of the broker, its modules.
hall::Status LayOutModbusHall(const std::filesystem::path& hall, const std::string& config) {
    if (const hall::Status laid = LayOutHall(hall, 0, "1"); !laid) return laid;
    const std::filesystem::path work = WorkingDirectory(hall);
    std::vector<std::string> keys(hall::kKeyCount, "0");
    for (const KeyInput& key : {kAllOn, kAllOff}) {
        keys[hall::KeyIndex(key.key).value()] = std::to_string(key.scene);
        hall::SceneBoxes boxes{};
        boxes.fill(key.lit ? 1 : 0);
        if (const hall::Status written = hall::WriteSceneFile(work / hall::SceneFilePath(key.scene), boxes); !written)
            return written;
    }
    if (const hall::Status written = hall::WriteAssignmentFile(work / hall::kKeyFilePath, keys); !written)
        return written;
    return hall::WriteFileAtomically(work / hall::kControllerConfigPath, config);
}

// Until `ready()`: the controller has written its modules' outputs and read their inputs.
hall::Status WaitReady(ChildProcess& controller, const std::filesystem::path& log, const std::function<bool()>& ready,
                       int signals) {
    const TimePoint until = Clock::now() + kReadyTime;
    while (!ready()) {
        if (controller.ended())
            return hall::Unexpected("sterownik hali na modułach Modbus zakończył działanie:\n" + LogTail(log));
        if (Clock::now() >= until)
            return hall::Unexpected("sterownik nie zapisał wyjść modułów Modbus w ciągu 30 s:\n" + LogTail(log));
        if (const hall::Status waited = WaitUntil(signals, Clock::now() + kReadyLook); !waited) return waited;
    }
    return {};
}

// The hall laid out in root/NAME and its controller started, ready.
hall::Result<std::unique_ptr<ChildProcess>> StartHall(const std::filesystem::path& root, const std::string& name,
                                                      const std::string& config, const std::function<bool()>& ready,
                                                      int signals) {
    const std::filesystem::path hall = root / name, log = root / (name + ".log");
    if (const hall::Status laid = LayOutModbusHall(hall, config); !laid) return hall::Unexpected(laid.error());
    hall::Result<std::unique_ptr<ChildProcess>> controller =
        ChildProcess::Start(SpawnRequest{{STEROWNIK_PROGRAM}, WorkingDirectory(hall), log, false, {}});
    if (!controller) return controller;
    if (const hall::Status up = WaitReady(**controller, log, ready, signals); !up) return hall::Unexpected(up.error());
    return controller;
}

struct KeyRun {
    std::size_t pressed = 0;
    std::vector<Duration> latencies;
    // The module's write requests from a press carried out to the next press.
    std::vector<std::size_t> writesPerSwitch;

    KeyToCoilFigures figures() const { return {pressed, Summarize(latencies)}; }
};

// Golden-ratio steps through the poll interval: the presses meet the polls at
// every phase evenly, where a period of whole polls would meet them at one.
Duration Phase(int press) {
    const double fraction = std::fmod(press * 0.6180339887498949, 1.0);
    return std::chrono::duration_cast<Duration>(std::chrono::duration<double, std::milli>(fraction * kPollMs));
}

// The key whose scene is not what the module's coils show, raised until its
// coils have come or the press is given up; whether they came.
bool Press(ModbusServer& module, int coils, KeyRun& run) {
    const bool lit = !module.coil(0);
    const KeyInput& key = lit ? kAllOn : kAllOff;
    module.expect(std::vector<bool>(static_cast<std::size_t>(coils), lit));
    const TimePoint raised = module.setInput(key.input, true);
    ++run.pressed;
    const std::optional<TimePoint> written = module.waitExpected(raised + kPressTime);
    // A write came from a poll that saw the input up; the next one sees it down.
    module.setInput(key.input, false);
    if (written) run.latencies.push_back(*written - raised);
    return written.has_value();
}

hall::Status PressKeys(ModbusServer& module, int coils, int signals, KeyRun& run) {
    std::optional<std::size_t> writesBefore;  // at the last press, if it was carried out
    TimePoint next = Clock::now();
    const TimePoint end = next + kPartTime;
    for (int i = 0; i < kPresses && next < end; ++i) {
        if (const hall::Status waited = WaitUntil(signals, next); !waited) return waited;
        const std::size_t writes = module.writes();
        if (writesBefore) run.writesPerSwitch.push_back(writes - *writesBefore);
        const TimePoint start = Clock::now();
        writesBefore = Press(module, coils, run) ? std::optional(writes) : std::nullopt;
        next = std::max(start + kPressPeriod + Phase(i), Clock::now());
    }
    if (const hall::Status waited = WaitUntil(signals, next); !waited) return waited;
    if (writesBefore) run.writesPerSwitch.push_back(module.writes() - *writesBefore);
    return {};
}

hall::Status Stopped(ChildProcess& controller) {
    if (!controller.stop()) return hall::Unexpected("sterownik nie zakończył się na SIGTERM");
    return {};
}

hall::Status OneModule(const std::filesystem::path& root, int signals, ModbusFigures& figures) {
    ModbusServer module;
    if (const hall::Status started = module.start(); !started) return started;
    const hall::Result<std::unique_ptr<ChildProcess>> controller = StartHall(
        root, "modbus1", HallConfig(module.port(), std::nullopt),
        [&] { return module.writes() > 0 && module.reads() > 0; }, signals);
    if (!controller) return hall::Unexpected(controller.error());
    KeyRun run;
    const hall::Status pressed = PressKeys(module, kCoils, signals, run);
    figures.oneModule = run.figures();
    const auto& writes = run.writesPerSwitch;
    figures.switches = writes.size();
    if (!writes.empty()) {
        figures.mostWrites = *std::max_element(writes.begin(), writes.end());
        figures.fewestWrites = *std::min_element(writes.begin(), writes.end());
    }
    if (!pressed) return pressed;
    return Stopped(**controller);
}

// sterownik.conf rewritten and read again every period while `pressing`,
// B's limit changed each time, so that every reload stops B's worker.
class Reloader {
public:
    Reloader(ChildProcess& controller, std::filesystem::path config, std::string text, std::string device)
        : controller_(controller), config_(std::move(config)), text_(std::move(text)), device_(std::move(device)) {}
    void start() {
        thread_ = std::thread([this] { run(); });
    }
    std::size_t stop() {
        stop_ = true;
        thread_.join();
        return reloads_;
    }

private:
    void run() {
        for (int i = 0; !stop_; ++i) {
            std::string text = text_;
            const std::size_t at = text.find(device_);
            text.insert(text.find('\n', at), i % 2 ? " limit 300" : " limit 400");
            if (hall::WriteFileAtomically(config_, text) && ::kill(controller_.pid(), SIGHUP) == 0) ++reloads_;
            std::this_thread::sleep_for(kReloadPeriod);
        }
    }

    ChildProcess& controller_;
    const std::filesystem::path config_;
    const std::string text_, device_;
    std::atomic<bool> stop_ = false;
    std::size_t reloads_ = 0;
    std::thread thread_;
};

hall::Status TwoModules(const std::filesystem::path& root, int signals, ModbusFigures& figures) {
    ModbusServer a, b;
    for (ModbusServer* module : {&a, &b})
        if (const hall::Status started = module->start(); !started) return started;
    const hall::Result<std::unique_ptr<ChildProcess>> controller = StartHall(
        root, "modbus2", HallConfig(a.port(), b.port()),
        [&] { return a.writes() > 0 && a.reads() > 0 && b.writes() > 0; }, signals);
    if (!controller) return hall::Unexpected(controller.error());
    KeyRun answering, frozen, reloading;
    hall::Status pressed = PressKeys(a, kLampsOnA, signals, answering);
    b.freeze(true);
    if (pressed) pressed = PressKeys(a, kLampsOnA, signals, frozen);
    Reloader reloader(**controller, WorkingDirectory(root / "modbus2") / hall::kControllerConfigPath,
                      HallConfig(a.port(), b.port()), "modbus szafa2 ");
    reloader.start();
    if (pressed) pressed = PressKeys(a, kLampsOnA, signals, reloading);
    figures.reloads = reloader.stop();
    figures.answering = answering.figures();
    figures.frozen = frozen.figures();
    figures.reloading = reloading.figures();
    figures.unanswered = b.unanswered();
    if (!pressed) return pressed;
    // Without a request held, module A's figure would be of a hall whose B was never asked anything.
    if (figures.unanswered == 0) return hall::Unexpected("moduł B nie dostał żadnego żądania, gdy nie odpowiadał");
    return Stopped(**controller);
}

}  // namespace

hall::Status MeasureModbus(const std::filesystem::path& root, int signals, ModbusFigures& figures) {
    figures.pollMs = kPollMs;
    figures.coilRuns = kCoilRuns;
    std::cerr << "Modbus: zapis 108 cewek...\n";
    const hall::Result<LatencySummary> floor = WriteFloor(signals);
    if (!floor) return hall::Unexpected(floor.error());
    figures.writeFloor = *floor;
    std::cerr << "Modbus: od klawisza do cewki, jeden moduł...\n";
    if (const hall::Status measured = OneModule(root, signals, figures); !measured) return measured;
    std::cerr << "Modbus: od klawisza do cewki, dwa moduły, potem drugi bez odpowiedzi, potem wczytywany ponownie...\n";
    return TwoModules(root, signals, figures);
}

}  // namespace bench
