#include "report.h"

#include <cmath>
#include <ctime>
#include <map>
#include <sstream>

namespace sterownik::ledger {
namespace {

using hall::DecimalText;

hall::Unexpected<std::string> Bad(std::string reason) { return hall::Unexpected(std::move(reason)); }

double Hours(std::int64_t ms) { return static_cast<double>(ms) / hall::kMsPerHour; }
double Kwh(std::int64_t microjoules) { return static_cast<double>(microjoules) / hall::kMicrojoulesPerKwh; }

// The rated life used, as a whole per cent; nothing without a rated life.
std::optional<long long> LifeUsed(const ReportData& data, int i) {
    if (!data.ratedHours[i]) return std::nullopt;
    return std::llround(Hours(data.total[i].litMs) / *data.ratedHours[i] * 100);
}

std::string LocalTime(hall::WallTime at) {
    const std::time_t seconds = std::chrono::floor<std::chrono::seconds>(at).time_since_epoch().count();
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

std::string Padded(const std::string& text, std::size_t width) {
    return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

void LampTable(std::ostringstream& out, const ReportData& data) {
    std::map<int, int> open;
    for (const hall::FailureSpan& failure : data.open) ++open[failure.lamp];
    out << "lampa   godziny  włączenia       kWh  trwałość  awaria\n";
    for (int i = 0; i < hall::kLampCount; ++i) {
        const hall::LampFigures& f = data.period[i];
        const std::optional<long long> life = LifeUsed(data, i);
        out << Padded(std::to_string(i + 1), 5) << Padded(DecimalText(Hours(f.litMs), 2), 10)
            << Padded(std::to_string(f.switchOns), 11) << Padded(DecimalText(Kwh(f.energyMicrojoules), 3), 10)
            << Padded(life ? std::to_string(*life) + " %" : "-", 10) << "  " << (open.contains(i + 1) ? "tak" : "-")
            << '\n';
    }
}

void DayTable(std::ostringstream& out, const ReportData& data) {
    out << "data               kWh    godziny  luka (min)\n";
    for (const hall::LedgerDay& day : data.days)
        out << hall::DayText(day.day) << Padded(DecimalText(Kwh(day.energyMicrojoules), 3), 13)
            << Padded(DecimalText(Hours(day.litMs), 2), 11) << Padded(std::to_string(day.gapMs / 60'000), 12) << '\n';
}

}  // namespace

hall::Result<ReportOptions> ParseReportArguments(const std::vector<std::string_view>& arguments) {
    ReportOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view option = arguments[i];
        if (option == "--dni" || option == "--csv") {
            (option == "--dni" ? options.days : options.csv) = true;
            continue;
        }
        if (option != "--od" && option != "--do" && option != "--dziennik")
            return Bad("nieznany argument: " + std::string(option));
        if (i + 1 == arguments.size()) return Bad("brak wartości po " + std::string(option));
        const std::string_view value = arguments[++i];
        if (option == "--dziennik") {
            if (value.empty()) return Bad("pusta nazwa pliku po --dziennik");
            options.ledger = std::filesystem::path(std::string(value));
            continue;
        }
        const std::optional<hall::LocalDay> day = hall::ParseDay(value);
        if (!day) return Bad("zła data po " + std::string(option) + ": " + std::string(value) + " (RRRR-MM-DD)");
        (option == "--od" ? options.range.from : options.range.to) = day;
    }
    if (options.range.from && options.range.to && *options.range.from > *options.range.to)
        return Bad("data --od późniejsza niż --do");
    return options;
}

std::string LampCsv(const ReportData& data) {
    std::map<int, int> begun;
    for (const hall::FailureSpan& failure : data.begun) ++begun[failure.lamp];
    std::ostringstream out;
    out << "lampa,godziny,wlaczenia,kwh,zywotnosc_proc,awarie\n";
    for (int i = 0; i < hall::kLampCount; ++i) {
        const hall::LampFigures& f = data.period[i];
        const std::optional<long long> life = LifeUsed(data, i);
        out << i + 1 << ',' << DecimalText(Hours(f.litMs), 4) << ',' << f.switchOns << ','
            << DecimalText(Kwh(f.energyMicrojoules), 4) << ',' << (life ? std::to_string(*life) : "") << ','
            << begun[i + 1] << '\n';
    }
    return out.str();
}

std::string DayCsv(const ReportData& data) {
    std::ostringstream out;
    out << "data,kwh,godziny,luka_min\n";
    for (const hall::LedgerDay& day : data.days)
        out << hall::DayText(day.day) << ',' << DecimalText(Kwh(day.energyMicrojoules), 4) << ','
            << DecimalText(Hours(day.litMs), 4) << ',' << DecimalText(static_cast<double>(day.gapMs) / 60'000, 0)
            << '\n';
    return out.str();
}

std::string ReportText(const ReportData& data, const ReportOptions& options) {
    std::ostringstream out;
    const hall::DayRange& range = options.range;
    out << "Okres: " << (range.from ? "od " + hall::DayText(*range.from) : std::string("od początku dziennika"))
        << (range.to ? " do " + hall::DayText(*range.to) : std::string(" do dziś")) << "\n\n";
    options.days ? DayTable(out, data) : LampTable(out, data);
    std::string worn;
    for (int i = 0; i < hall::kLampCount; ++i)
        if (const std::optional<long long> life = LifeUsed(data, i); life && *life > 80)
            worn += (worn.empty() ? "" : ", ") + std::to_string(i + 1) + " (" + std::to_string(*life) + " %)";
    out << "\nLampy ponad 80 % znamionowej trwałości: " << (worn.empty() ? "brak" : worn) << '\n';
    out << "Otwarte awarie:" << (data.open.empty() ? " brak" : "") << '\n';
    for (const hall::FailureSpan& failure : data.open)
        out << "  lampa " << failure.lamp << ": " << failure.kind << ", od " << LocalTime(failure.begun) << '\n';
    out << "Luki (sterownik nie działał):" << (data.gaps.empty() ? " brak" : "") << '\n';
    for (const hall::GapSpan& gap : data.gaps)
        out << "  " << LocalTime(gap.from) << " – " << LocalTime(gap.to) << " ("
            << std::chrono::duration_cast<std::chrono::minutes>(gap.to - gap.from).count() << " min)\n";
    return out.str();
}

}  // namespace sterownik::ledger
