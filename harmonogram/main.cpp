// Checks a minute against the saved schedules and, when an entry fires,
// switches the hall to its scenes. The operating system runs it every minute.
#include "lamp_state.h"
#include "local_time.h"
#include "schedule.h"

#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using hall::Minute;

constexpr std::string_view kUsage = "użycie: harmonogram [--plan] [--at \"RRRR-MM-DD GG:MM\"]";
constexpr int kPlanMinutes = 7 * 24 * 60;

struct Options {
    bool plan = false;
    std::optional<Minute> at;
};

// Exactly "YYYY-MM-DD HH:MM", a real date and time.
std::optional<Minute> ParseMinute(std::string_view text) {
    constexpr std::string_view kPattern = "dddd-dd-dd dd:dd";
    if (text.size() != kPattern.size()) return std::nullopt;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (kPattern[i] == 'd' ? !digit : text[i] != kPattern[i]) return std::nullopt;
    }
    const auto number = [&](std::size_t at, std::size_t length) {
        return std::stoi(std::string(text.substr(at, length)));
    };
    const Minute minute{number(0, 4), number(5, 2), number(8, 2), number(11, 2), number(14, 2)};
    if (!hall::IsRealDate(minute.year, minute.month, minute.day) || minute.hour > 23 || minute.minute > 59)
        return std::nullopt;
    return minute;
}

std::optional<Options> ParseArguments(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--plan" && !options.plan) {
            options.plan = true;
        } else if (argument == "--at" && !options.at && i + 1 < argc) {
            options.at = ParseMinute(argv[++i]);
            if (!options.at) return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    return options;
}

hall::Unexpected<std::string> ReadFailure(const std::filesystem::path& file) {
    return hall::Unexpected("harmonogram: nie można odczytać pliku " + file.string());
}

struct Schedules {
    hall::WeeklySchedule weekly;
    hall::DatedSchedule dated;
};

// Missing files are a hall without a schedule; nothing fires.
hall::Result<Schedules> ReadSchedules() {
    const hall::WeeklyRead weekly = hall::ReadWeeklyFile();
    if (weekly.state == hall::FileState::Unreadable) return ReadFailure(hall::kWeeklyFilePath);
    const hall::DatedRead dated = hall::ReadDatedFile();
    if (dated.state == hall::FileState::Unreadable) return ReadFailure(hall::kDatedFilePath);
    return Schedules{weekly.schedule, dated.rows};
}

// Each scene file is read once, and only when a due entry ticks its scene.
class Scenes {
public:
    hall::Status load(const hall::SceneTicks& needed) {
        for (int s = 0; s < hall::kSceneCount; ++s) {
            if (!needed[s] || loaded_[s]) continue;
            const hall::SceneRead read = hall::ReadSceneFile(hall::SceneFilePath(s + 1));
            if (!read.complete) return ReadFailure(hall::SceneFilePath(s + 1));
            boxes_[s] = read.boxes;
            loaded_[s] = true;
        }
        return {};
    }
    const std::array<hall::SceneBoxes, hall::kSceneCount>& boxes() const { return boxes_; }

private:
    std::array<hall::SceneBoxes, hall::kSceneCount> boxes_{};
    hall::SceneTicks loaded_{};
};

std::string TwoDigits(int value) { return (value < 10 ? "0" : "") + std::to_string(value); }

std::string MinuteText(const Minute& m) {
    return std::to_string(m.year) + "-" + TwoDigits(m.month) + "-" + TwoDigits(m.day) + " " + TwoDigits(m.hour) + ":" +
           TwoDigits(m.minute);
}

std::string ScenesPhrase(const hall::SceneTicks& scenes) {
    std::string list;
    int count = 0;
    for (int s = 0; s < hall::kSceneCount; ++s) {
        if (!scenes[s]) continue;
        list += (count++ ? ", " : " ") + std::to_string(s + 1);
    }
    if (count == 0) return "bez scen";
    return (count == 1 ? "scena" : "sceny") + list;
}

// "2026-12-07 06:30: sceny 1, 3; świecą 42 lampy"
std::string SwitchLine(const Minute& minute, const hall::SceneTicks& scenes, const hall::LampStates& states) {
    int lit = 0;
    for (const int state : states) lit += state == hall::kStateOn;
    return MinuteText(minute) + ": " + ScenesPhrase(scenes) + "; " + hall::LitLampsPhrase(lit);
}

int Fail(const std::string& failure) {
    std::cerr << failure << '\n';
    return 1;
}

int CheckMinute(const Minute& minute) {
    const hall::Result<Schedules> schedules = ReadSchedules();
    if (!schedules) return Fail(schedules.error());
    const std::optional<hall::SceneTicks> due = hall::DueScenes(schedules->weekly, schedules->dated, minute);
    if (!due) return 0;
    Scenes scenes;
    if (const hall::Status loaded = scenes.load(*due); !loaded) return Fail(loaded.error());
    const hall::LampStates states = hall::SwitchStates(*due, scenes.boxes());
    if (const hall::Status written = hall::WriteStateFile(states); !written)
        return Fail("harmonogram: nie można zapisać pliku " + hall::kStateFilePath.string() + ": " + written.error());
    std::cout << SwitchLine(minute, *due, states) << '\n';
    return 0;
}

// Walks real minutes, so a skipped hour never shows and a repeated one twice.
int PrintPlan(std::time_t start) {
    const hall::Result<Schedules> schedules = ReadSchedules();
    if (!schedules) return Fail(schedules.error());
    Scenes scenes;
    std::vector<std::string> lines;
    for (int i = 0; i < kPlanMinutes; ++i) {
        const Minute minute = harmonogram::LocalMinute(start + std::time_t{60} * i);
        const std::optional<hall::SceneTicks> due = hall::DueScenes(schedules->weekly, schedules->dated, minute);
        if (!due) continue;
        if (const hall::Status loaded = scenes.load(*due); !loaded) return Fail(loaded.error());
        lines.push_back(SwitchLine(minute, *due, hall::SwitchStates(*due, scenes.boxes())));
    }
    for (const std::string& line : lines) std::cout << line << '\n';
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<Options> options = ParseArguments(argc, argv);
    if (!options) {
        std::cerr << kUsage << '\n';
        return 2;
    }
    if (options->plan) {
        std::time_t start = options->at ? harmonogram::LocalTime(*options->at) : harmonogram::Now();
        start -= start % 60;  // local minutes start on whole UTC minutes
        return PrintPlan(start);
    }
    const Minute minute = options->at ? *options->at : harmonogram::LocalMinute(harmonogram::Now());
    // A minute the clock skips does not happen: nothing fires in it.
    if (options->at && !harmonogram::ExistsLocally(minute)) return 0;
    return CheckMinute(minute);
}
