#include "hall_reading.h"

#include "schedule_files.h"
#include "text_number.h"

#include <system_error>

namespace sterownik {
namespace {

ZoneFile ReadZone(int input) {
    const std::filesystem::path file = hall::SceneCommandFilePath(input);
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(file, ec))) return {};
    const hall::os::SysResult<hall::LampsLit> lamps = hall::ReadStateFile(file);
    if (!lamps) return {ZoneFile::State::Unreadable, {}};
    return {ZoneFile::State::Read, *lamps};
}

}  // namespace

HallFiles ReadHallFiles(bool forScene) {
    HallFiles files;
    if (const auto lamps = hall::ReadStateFile()) files.lamps = *lamps;
    for (int k = 1; k <= hall::kSensorCount; ++k) files.zones[k - 1] = ReadZone(k);
    const hall::DelayRead delay = hall::ReadDelayFile();
    files.delay = DelayInForce(delay);
    files.delayUnreadable = delay.state == hall::FileState::Unreadable;
    if (!forScene) return files;
    files.keys = hall::ReadAssignmentFile(hall::kKeyFilePath, hall::kKeyCount);
    for (int s = 1; s <= hall::kSceneCount; ++s) files.scenes[s - 1] = hall::ReadSceneFile(hall::SceneFilePath(s));
    return files;
}

std::string DelayLine() {
    const hall::DelayRead read = hall::ReadDelayFile();
    const std::string file = hall::kDelayFilePath.string();
    const std::string fallback =
        std::to_string(std::chrono::duration_cast<std::chrono::minutes>(kDefaultDelay).count()) + " min";
    if (read.state == hall::FileState::Unreadable)
        return "nie można odczytać pliku " + file + ": opóźnienie " + fallback;
    if (read.state == hall::FileState::Missing) return "brak pliku " + file + ": opóźnienie wyłączenia " + fallback;
    if (!DelayOf(read.text)) return file + " nie podaje dodatniej liczby minut: opóźnienie wyłączenia " + fallback;
    return "opóźnienie wyłączenia " + hall::FormatGeneralNumber(hall::LeadingNumberValue(read.text), '.') + " min";
}

}  // namespace sterownik
