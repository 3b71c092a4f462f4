#pragma once

#include "schedule.h"

#include <ctime>

// The one place that asks the C library about the local time zone.
namespace harmonogram {

std::time_t Now();

// The local wall-clock minute that `time` falls in.
hall::Minute LocalMinute(std::time_t time);

// The start of `minute` in local time. A minute the clock skips (daylight
// saving) gives the time the clock shows instead, which differs from it.
std::time_t LocalTime(const hall::Minute& minute);

// Whether the local clock shows `minute` at all on its day.
bool ExistsLocally(const hall::Minute& minute);

}  // namespace harmonogram
