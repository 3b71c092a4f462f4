#include "bench_halls.h"

#include "controller_config.h"
#include "line_file.h"
#include "schedule_files.h"

#include <system_error>

namespace bench {
namespace {

hall::SceneBoxes ZoneBoxes(int input) {
    hall::SceneBoxes boxes{};
    const LampBlock block = ZoneLamps(input);
    for (int n = block.first; n <= block.last; ++n) boxes[n - 1] = 1;
    return boxes;
}

}  // namespace

bool LayOutHall(const std::filesystem::path& hall, int port, std::string_view delayMinutes, std::string& error) {
    const std::filesystem::path work = WorkingDirectory(hall);
    std::error_code ec;
    if (!std::filesystem::create_directories(work, ec)) {
        error = "nie można utworzyć katalogu " + work.string() + ": " + ec.message();
        return false;
    }
    bool written = hall::WriteStateFile(hall::AllOffStates(), work / hall::kStateFilePath, &error);
    for (int k = 1; written && k <= hall::kSensorCount; ++k)
        written = hall::WriteSceneCommandFile(work / hall::SceneCommandFilePath(k), ZoneBoxes(k), &error);
    written = written && hall::WriteDelayFile(delayMinutes, work / hall::kDelayFilePath, &error);
    // The hall's name is its directory's: only the broker is set.
    const std::string config = "broker 127.0.0.1:" + std::to_string(port) + "\n";
    return written && hall::WriteFileAtomically(work / hall::kControllerConfigPath, config, &error);
}

}  // namespace bench
