#include "schedule.h"

namespace hall {
namespace {

constexpr int kFirstYear = 2006;  // the calendar's first selectable year
constexpr int kLastYear = 9999;

struct RowTime {
    int year, month, day, hour, minute;
};

std::optional<RowTime> RowTimeOf(const DatedRow& row) {
    const auto year = WholeNumberIn(row.year, kFirstYear, kLastYear);
    const auto month = WholeNumberIn(row.month, 1, 12);
    const auto day = WholeNumberIn(row.day, 1, 31);
    const auto hour = WholeNumberIn(row.hour, 0, 23);
    const auto minute = WholeNumberIn(row.minute, 0, 59);
    if (!year || !month || !day || !hour || !minute || !IsRealDate(*year, *month, *day)) return std::nullopt;
    return RowTime{*year, *month, *day, *hour, *minute};
}

bool SameDate(const RowTime& row, const Minute& minute) {
    return row.year == minute.year && row.month == minute.month && row.day == minute.day;
}

void AddScenes(std::optional<SceneTicks>& due, const SceneTicks& scenes) {
    if (!due) due.emplace();
    for (int s = 0; s < kSceneCount; ++s) (*due)[s] = (*due)[s] || scenes[s];
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

}  // namespace

bool IsRealDate(int year, int month, int day) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 1 || month < 1 || month > 12 || day < 1) return false;
    return day <= kDays[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0);
}

int Weekday(int year, int month, int day) {
    // Days since 1 March of year 0 (proleptic Gregorian), which was a Wednesday.
    const int y = month <= 2 ? year - 1 : year;
    const int m = month <= 2 ? month + 9 : month - 3;
    const long days = 365L * y + y / 4 - y / 100 + y / 400 + (153 * m + 2) / 5 + day - 1;
    return static_cast<int>((days + 2) % 7);
}

std::optional<int> WholeNumberIn(std::string_view text, int low, int high) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    if (text.empty()) return std::nullopt;
    long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > high) return std::nullopt;  // also keeps long digit runs from overflowing
    }
    if (value < low) return std::nullopt;
    return static_cast<int>(value);
}

bool SlotInUse(const WeeklySlot& slot) { return WholeNumberIn(slot.hour, 0, 23) && WholeNumberIn(slot.minute, 0, 59); }

bool RowInUse(const DatedRow& row) { return RowTimeOf(row).has_value(); }

std::optional<SceneTicks> DueScenes(const WeeklySchedule& weekly, const DatedSchedule& dated, const Minute& minute) {
    std::optional<SceneTicks> due;
    bool exceptionDay = false;
    for (const DatedRow& row : dated) {
        const std::optional<RowTime> time = RowTimeOf(row);
        if (!time || !SameDate(*time, minute)) continue;
        exceptionDay = true;
        if (time->hour == minute.hour && time->minute == minute.minute) AddScenes(due, row.scenes);
    }
    if (exceptionDay || !weekly.days[Weekday(minute.year, minute.month, minute.day)]) return due;
    for (const WeeklySlot& slot : weekly.timeSlots) {
        if (WholeNumberIn(slot.hour, 0, 23) == minute.hour && WholeNumberIn(slot.minute, 0, 59) == minute.minute)
            AddScenes(due, slot.scenes);
    }
    return due;
}

LampStates SwitchStates(const SceneTicks& scenes, const std::array<SceneBoxes, kSceneCount>& sceneBoxes) {
    LampStates states = AllOffStates();
    for (int s = 0; s < kSceneCount; ++s) {
        if (!scenes[s]) continue;
        for (int lamp = 0; lamp < kLampCount; ++lamp)
            if (sceneBoxes[s][lamp] == 1) states[lamp] = kStateOn;
    }
    return states;
}

}  // namespace hall
