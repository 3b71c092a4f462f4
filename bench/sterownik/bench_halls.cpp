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

// sc1.txt … sc8.txt, each lighting its input's zone.
hall::Status WriteZones(const std::filesystem::path& work) {
    for (int k = 1; k <= hall::kSensorCount; ++k) {
        hall::Status written = hall::WriteSceneCommandFile(work / hall::SceneCommandFilePath(k), ZoneBoxes(k));
        if (!written) return written;
    }
    return {};
}

}  // namespace

hall::Status LayOutHall(const std::filesystem::path& hall, int port, std::string_view delayMinutes) {
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
    const std::string config = "broker 127.0.0.1:" + std::to_string(port) + "\n";
    return hall::WriteFileAtomically(work / hall::kControllerConfigPath, config);
}

}  // namespace bench
