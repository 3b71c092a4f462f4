#include "local_time.h"

namespace harmonogram {

std::time_t Now() { return std::time(nullptr); }

// std::localtime shares one buffer; this program has one thread.
hall::Minute LocalMinute(std::time_t time) {
    const std::tm* local = std::localtime(&time);
    if (!local) return {};  // beyond what the C library can name: matches no entry
    return {local->tm_year + 1900, local->tm_mon + 1, local->tm_mday, local->tm_hour, local->tm_min};
}

std::time_t LocalTime(const hall::Minute& minute) {
    std::tm local{};
    local.tm_year = minute.year - 1900;
    local.tm_mon = minute.month - 1;
    local.tm_mday = minute.day;
    local.tm_hour = minute.hour;
    local.tm_min = minute.minute;
    local.tm_isdst = -1;  // let the zone decide, also in a repeated hour
    return std::mktime(&local);
}

bool ExistsLocally(const hall::Minute& minute) { return LocalMinute(LocalTime(minute)) == minute; }

}  // namespace harmonogram
