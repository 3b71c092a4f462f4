#include "lamp_state.h"

#include "line_file.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace hall {
namespace {

// Far more than any line this system writes (756 characters), little to read.
constexpr std::size_t kReadLimit = 16 * 1024;

std::string_view TrimBlanks(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

// A decimal number, optionally signed, with an optional fraction: " 01" and
// "1.0" are 1, "x", "" and "1x" are not numbers.
std::optional<double> StateValue(std::string_view text) {
    text = TrimBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // from_chars would also take "inf", "nan" and a second sign.
    if (text.empty() || !(std::isdigit(static_cast<unsigned char>(text.front())) || text.front() == '.'))
        return std::nullopt;
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (ec == std::errc::invalid_argument || end != text.data() + text.size()) return std::nullopt;
    if (ec == std::errc::result_out_of_range) return 2.0;  // a number all the same, and not 1
    return negative ? -value : value;
}

// A line longer than the limit is cut: its last value may have lost digits
// ("10" read as "1"). It counts only when all 108 entries end with their "&"
// before the cut, and then only they are read.
std::optional<std::string_view> WholeEntries(std::string_view line) {
    if (line.size() <= kReadLimit) return line;
    std::size_t end = 0;
    for (int i = 0; i < kLampCount; ++i) {
        end = line.find('&', end);
        if (end == std::string_view::npos || end >= kReadLimit) return std::nullopt;
        ++end;
    }
    return line.substr(0, end);
}

}  // namespace

LampStates AllOffStates() {
    LampStates states;
    states.fill(kStateOff);
    return states;
}

LampStates StatesOf(const LampsLit& lit) {
    LampStates states;
    for (int i = 0; i < kLampCount; ++i) states[i] = lit[i] ? kStateOn : kStateOff;
    return states;
}

std::string ComposeStateLine(const LampStates& states) {
    std::string line;
    line.reserve(kLampCount * 9);
    for (int i = 0; i < kLampCount; ++i) {
        line += "la";
        line += std::to_string(i + 1);
        line += '=';
        line += std::to_string(states[i]);
        line += '&';
    }
    return line;
}

Status WriteStateFile(const LampStates& states, const std::filesystem::path& file) {
    return WriteFileAtomically(file, ComposeStateLine(states) + "\r\n");
}

Status WriteStateFile(const LampStates& states, const std::function<void()>& inPlace) {
    return WriteFileAtomically(kStateFilePath, ComposeStateLine(states) + "\r\n", inPlace);
}

int LitCount(const LampsLit& lamps) { return static_cast<int>(std::count(lamps.begin(), lamps.end(), true)); }

std::optional<LampsLit> ParseStateLine(std::string_view line) {
    LampsLit lit{};
    bool exhausted = false;
    for (int i = 0; i < kLampCount; ++i) {
        if (exhausted) return std::nullopt;  // fewer than 108 pieces
        const std::size_t amp = line.find('&');
        const std::string_view piece = line.substr(0, amp);
        if (amp == std::string_view::npos)
            exhausted = true;
        else
            line.remove_prefix(amp + 1);
        const std::size_t eq = piece.find('=');
        if (eq == std::string_view::npos) return std::nullopt;
        std::string_view value = piece.substr(eq + 1);
        value = value.substr(0, value.find('='));
        const std::optional<double> number = StateValue(value);
        if (!number) return std::nullopt;
        lit[i] = *number != kStateOff;
    }
    return lit;
}

std::string LitLampsPhrase(int lit) {
    const std::string n = std::to_string(lit);
    if (lit == 0) return "nie świeci żadna lampa";
    if (lit == 1) return "świeci 1 lampa";
    const int units = lit % 10, tens = lit % 100;
    if (units >= 2 && units <= 4 && (tens < 12 || tens > 14)) return "świecą " + n + " lampy";
    return "świeci " + n + " lamp";
}

os::SysResult<LampsLit> ReadStateFile(const std::filesystem::path& file) {
    // One byte past the limit tells a line that ends there from one cut there.
    const os::SysResult<std::string> line = ReadFirstLine(file, kReadLimit + 1);
    if (!line) return Unexpected(line.error());
    const std::optional<std::string_view> entries = WholeEntries(*line);
    const std::optional<LampsLit> lit = entries ? ParseStateLine(*entries) : std::nullopt;
    if (!lit) return Unexpected(make_error_code(FileError::Damaged));
    return *lit;
}

}  // namespace hall
