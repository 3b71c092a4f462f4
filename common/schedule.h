#pragma once

#include "lamp_state.h"
#include "schedule_files.h"

#include <array>
#include <optional>
#include <string_view>

namespace hall {

// A minute of local wall-clock time.
struct Minute {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0;
    bool operator==(const Minute&) const = default;
};

// Whether year, month and day name a date of the proleptic Gregorian calendar.
bool IsRealDate(int year, int month, int day);

// 0 for Monday to 6 for Sunday, the order of the weekly page's day boxes.
int Weekday(int year, int month, int day);
inline int Weekday(const Minute& minute) { return Weekday(minute.year, minute.month, minute.day); }

// The whole number a field's text holds when it lies in [low, high]: decimal
// digits only, leading zeros and surrounding blanks allowed ("07", " 7"); a
// sign, a fraction or any other character make it no number ("-5", "7.5", "").
std::optional<int> WholeNumberIn(std::string_view text, int low, int high);

// In use: hour 0–23 and minute 0–59 (and for a row a real date from the year
// 2006 to 9999). Entries not in use never fire.
bool SlotInUse(const WeeklySlot& slot);
bool RowInUse(const DatedRow& row);

// The scenes due at `minute`, or nothing when no entry fires then. On a date
// with a dated row in use only that date's rows fire, never the week. Entries
// firing together give the union of their scenes; none ticked is all off.
std::optional<SceneTicks> DueScenes(const WeeklySchedule& weekly, const DatedSchedule& dated, const Minute& minute);

// The lamp states of a switch to `scenes`: lit (3) where any ticked scene
// ticks the lamp (box value 1), off (1) elsewhere.
LampStates SwitchStates(const SceneTicks& scenes, const std::array<SceneBoxes, kSceneCount>& sceneBoxes);

}  // namespace hall
