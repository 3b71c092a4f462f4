#include "system_calendar.h"

#include <ctime>

namespace sterownik::ledger {
namespace {

std::tm LocalTime(WallTime at) {
    const std::time_t seconds = std::chrono::floor<std::chrono::seconds>(at).time_since_epoch().count();
    std::tm local{};
    localtime_r(&seconds, &local);
    return local;
}

}  // namespace

LocalDay SystemCalendar::dayOf(WallTime at) const {
    const std::tm local = LocalTime(at);
    return LocalDay(std::chrono::year(local.tm_year + 1900) / (local.tm_mon + 1) / local.tm_mday);
}

WallTime SystemCalendar::nextDay(WallTime at) const {
    std::tm midnight = LocalTime(at);
    midnight.tm_mday += 1;
    midnight.tm_hour = midnight.tm_min = midnight.tm_sec = 0;
    midnight.tm_isdst = -1;
    const std::time_t next = std::mktime(&midnight);
    if (next == -1) return at;
    return WallTime(std::chrono::seconds(next));
}

WallTime WallNow() { return std::chrono::floor<std::chrono::milliseconds>(std::chrono::system_clock::now()); }

}  // namespace sterownik::ledger
