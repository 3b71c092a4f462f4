#pragma once

#include "result.h"

#include "scene_files.h"

#include <array>
#include <filesystem>
#include <string>
#include <string_view>

namespace hall {

// The switch-off delay, the weekly schedule and the dated schedule, in the
// working directory.
inline const std::filesystem::path kDelayFilePath = "opoznienie.txt";
inline const std::filesystem::path kWeeklyFilePath = "tydzien.txt";
inline const std::filesystem::path kDatedFilePath = "daty.txt";

inline constexpr int kDayCount = 7;  // Monday (0) to Sunday (6), as the weekly page lists them
inline constexpr int kSlotCount = 8;
inline constexpr int kDatedRowCount = 10;

// Scene 1 (index 0) to scene 8 chosen for an entry.
using SceneTicks = std::array<bool, kSceneCount>;

// Texts are the fields' Windows-1250 bytes exactly as the window holds them.
struct WeeklySlot {
    std::string hour, minute;
    SceneTicks scenes{};
    bool operator==(const WeeklySlot&) const = default;
};
// Not "slots": Qt code, which reads and writes these, defines that as a macro.
struct WeeklySchedule {
    std::array<bool, kDayCount> days{};
    std::array<WeeklySlot, kSlotCount> timeSlots{};
    bool operator==(const WeeklySchedule&) const = default;
};
struct DatedRow {
    std::string year, month, day, hour, minute;
    SceneTicks scenes{};
    bool operator==(const DatedRow&) const = default;
};
using DatedSchedule = std::array<DatedRow, kDatedRowCount>;

// A missing file is a new hall's normal state; a file that exists but cannot
// be read is reported.
enum class FileState { Missing, Read, Unreadable };

struct DelayRead {
    std::string text;
    FileState state = FileState::Missing;
};
struct WeeklyRead {
    WeeklySchedule schedule;
    FileState state = FileState::Missing;
};
struct DatedRead {
    DatedSchedule rows{};
    FileState state = FileState::Missing;
};

// The lines, without CR LF: "key=value&" pieces, texts percent-encoded
// (every byte but letters, digits, "-", ".", "_" and "~" as %XX), boxes as
// one "0"/"1" character each.
//   opoznienie=15&
//   dni=1111100&godz1=6&min1=30&sceny1=10100000&…&godz8=&min8=&sceny8=00000000&
//   rok1=2026&mies1=12&dzien1=24&godz1=18&min1=0&sceny1=00000001&…&sceny10=00000000&
std::string ComposeDelayLine(std::string_view text);
std::string ComposeWeeklyLine(const WeeklySchedule& schedule);
std::string ComposeDatedLine(const DatedSchedule& rows);

// Tolerant: a piece that is missing, or cut off before its "&", reads as an
// empty field or unticked boxes; unknown keys are skipped. Unreadable when
// the line does not begin with the file's first key, or a piece has no "="
// or a broken %XX, so that no text is ever misread.
DelayRead ParseDelayLine(std::string_view line);
WeeklyRead ParseWeeklyLine(std::string_view line);
DatedRead ParseDatedLine(std::string_view line);

// Missing when there is no such file. Unreadable when it exists but is not a
// regular file, cannot be read, is empty, its first line does not fit the
// reader's limit (several MiB) or is not of its format.
DelayRead ReadDelayFile(const std::filesystem::path& file = kDelayFilePath);
WeeklyRead ReadWeeklyFile(const std::filesystem::path& file = kWeeklyFilePath);
DatedRead ReadDatedFile(const std::filesystem::path& file = kDatedFilePath);

// The composed line and CR LF, replacing `file` whole.
Status WriteDelayFile(std::string_view text, const std::filesystem::path& file = kDelayFilePath);
Status WriteWeeklyFile(const WeeklySchedule& schedule, const std::filesystem::path& file = kWeeklyFilePath);
Status WriteDatedFile(const DatedSchedule& rows, const std::filesystem::path& file = kDatedFilePath);

}  // namespace hall
