#include "bench_halls.h"

#include "controller_config.h"
#include "line_file.h"
#include "schedule_files.h"

#include <fstream>
#include <system_error>

namespace bench {
namespace {

using namespace std::chrono_literals;

constexpr Duration kReadyTime = 30s;

hall::SceneBoxes ZoneBoxes(int input) {
    hall::SceneBoxes boxes{};
    const LampBlock block = ZoneLamps(input);
    for (int n = block.first; n <= block.last; ++n) boxes[n - 1] = 1;
    return boxes;
}

// sc1.txt … sc8.txt, each lighting its input's zone.
hall::Status WriteZones(const std::filesystem::path& work) {
    for (int k = 1; k <= hall::kSensorCount; ++k) {
        hall::Status written = hall::WriteSceneCommandFile(work / hall::SceneCommandFilePath(k), ZoneBoxes(k));
        if (!written) return written;
    }
    return {};
}

}  // namespace

hall::Status LayOutHall(const std::filesystem::path& hall, int port, std::string_view delayMinutes,
                        std::string_view moreConfig) {
    const std::filesystem::path work = WorkingDirectory(hall);
    std::error_code ec;
    if (!std::filesystem::create_directories(work, ec))
        return hall::Unexpected("nie można utworzyć katalogu " + work.string() + ": " + ec.message());
    if (hall::Status written = hall::WriteStateFile(hall::AllOffStates(), work / hall::kStateFilePath); !written)
        return written;
    if (hall::Status written = WriteZones(work); !written) return written;
    if (hall::Status written = hall::WriteDelayFile(delayMinutes, work / hall::kDelayFilePath); !written)
        return written;
    // The hall's name is its directory's: only the broker is set.
    const std::string config = "broker 127.0.0.1:" + std::to_string(port) + "\n" + std::string(moreConfig);
    return hall::WriteFileAtomically(work / hall::kControllerConfigPath, config);
}

hall::Status AssignKey(const std::filesystem::path& hall, int key, int scene, const hall::SceneBoxes& boxes) {
    const std::filesystem::path work = WorkingDirectory(hall);
    std::vector<std::string> keys(hall::kKeyCount, "0");
    keys[key] = std::to_string(scene);
    if (hall::Status written = hall::WriteAssignmentFile(work / hall::kKeyFilePath, keys); !written) return written;
    return hall::WriteSceneFile(work / hall::SceneFilePath(scene), boxes);
}

std::string LogTail(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    std::string tail;
    for (std::size_t i = lines.size() > 5 ? lines.size() - 5 : 0; i < lines.size(); ++i) tail += "  " + lines[i] + "\n";
    return tail;
}

std::vector<std::string> HallNames(int count, const std::string& stem) {
    std::vector<std::string> names;
    for (int i = 1; i <= count; ++i) {
        std::string number = std::to_string(i);
        names.push_back(stem + std::string(number.size() < 3 ? 3 - number.size() : 0, '0') + number);
    }
    return names;
}

hall::Status Halls::lay(int port) {
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (const hall::Status laidOut = LayOutHall(hall(i), port, delay_, moreConfig_); !laidOut) return laidOut;
        if (sessions_.empty()) continue;
        const std::filesystem::path file = WorkingDirectory(hall(i)) / hall::kPanelSessionsPath;
        if (const hall::Status written = hall::WritePanelSessions(sessions_, file); !written)
            return hall::Unexpected("nie można zapisać sesji panelu " + file.string() + ": " + written.error());
    }
    return {};
}

hall::Status Halls::start() {
    for (std::size_t i = 0; i < names_.size(); ++i) {
        hall::Result<std::unique_ptr<ChildProcess>> controller = ChildProcess::Start(
            SpawnRequest{{STEROWNIK_PROGRAM}, WorkingDirectory(hall(i)), log(i), false, environment_});
        if (!controller) return hall::Unexpected(controller.error());
        controllers_.push_back(std::move(*controller));
    }
    return {};
}

hall::Status Halls::waitReady(DriverClient& client, EventTracker& tracker) {
    const int all = static_cast<int>(names_.size());
    const RunEnd end = client.run(
        Clock::now() + kReadyTime, [&] { return tracker.readyHalls() == all; }, [](TimePoint now) { return now + 1s; });
    if (end == RunEnd::Finished) return {};
    if (end == RunEnd::Stopped) return hall::Unexpected(client.stopReason());
    return hall::Unexpected(std::to_string(tracker.readyHalls()) + " z " + std::to_string(all) +
                            " sterowników gotowych po 30 s (online i 108 lamp)" + endedOnes());
}

hall::Status Halls::startReady(int port, DriverClient& client, EventTracker& tracker) {
    hall::Status started = lay(port);
    if (started) started = start();
    return started ? waitReady(client, tracker) : started;
}

hall::Status Halls::running() {
    const std::string ended = endedOnes();
    if (ended.empty()) return {};
    return hall::Unexpected(ended.substr(1));  // without the line break it begins with
}

bool Halls::stop() {
    bool clean = true;
    for (auto& controller : controllers_) clean = controller->stop() && clean;
    return clean;
}

std::string Halls::endedOnes() {
    std::string text;
    for (std::size_t i = 0; i < controllers_.size(); ++i)
        if (controllers_[i]->ended())
            text += "\nsterownik hali " + names_[i] + " zakończył działanie:\n" + LogTail(log(i));
    return text;
}

}  // namespace bench
