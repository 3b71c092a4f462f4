#include "ledger_records.h"

#include <algorithm>
#include <cstdio>

namespace hall {

std::int64_t SaturatedSum(std::int64_t total, std::int64_t more) {
    return more > kCounterLimit - total ? kCounterLimit : total + more;
}

void LampFigures::add(const LampFigures& more) {
    litMs = SaturatedSum(litMs, more.litMs);
    switchOns = SaturatedSum(switchOns, more.switchOns);
    energyMicrojoules = SaturatedSum(energyMicrojoules, more.energyMicrojoules);
}

std::string DecimalText(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    std::string result(text);
    std::replace(result.begin(), result.end(), ',', '.');
    return result;
}

std::string DayText(LocalDay day) {
    const std::chrono::year_month_day date(day);
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
    return text;
}

std::optional<LocalDay> ParseDay(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
    int parts[3] = {};
    const std::size_t starts[3] = {0, 5, 8}, lengths[3] = {4, 2, 2};
    for (int p = 0; p < 3; ++p)
        for (std::size_t i = starts[p]; i < starts[p] + lengths[p]; ++i) {
            if (text[i] < '0' || text[i] > '9') return std::nullopt;
            parts[p] = parts[p] * 10 + (text[i] - '0');
        }
    const std::chrono::year_month_day date{std::chrono::year(parts[0]), std::chrono::month(parts[1]),
                                           std::chrono::day(parts[2])};
    if (!date.ok()) return std::nullopt;
    return LocalDay(date);
}

}  // namespace hall
