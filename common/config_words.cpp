#include "config_words.h"

#include "lamp_state.h"

#include <algorithm>
#include <charconv>
#include <system_error>

namespace hall::config {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

Words SplitWords(std::string_view line) {
    Words words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && IsBlank(line[i])) ++i;
        if (i == line.size() || line[i] == '#') break;
        const std::size_t start = i;
        while (i < line.size() && !IsBlank(line[i])) ++i;
        words.push_back(line.substr(start, i - start));
    }
    return words;
}

std::optional<int> Number(std::string_view text, int low, int high) {
    if (text.empty() || (text.size() > 1 && text[0] == '0')) return std::nullopt;
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < low || value > high) return std::nullopt;
    return value;
}

std::optional<std::pair<std::string, int>> HostAndPort(std::string_view text, int defaultPort) {
    std::string_view host = text, port;
    if (text.starts_with('[')) {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos) return std::nullopt;
        host = text.substr(1, close - 1);
        const std::string_view rest = text.substr(close + 1);
        if (!rest.empty() && (!rest.starts_with(':') || rest == ":")) return std::nullopt;
        if (!rest.empty()) port = rest.substr(1);
    } else if (const std::size_t colon = text.rfind(':'); colon != std::string_view::npos) {
        host = text.substr(0, colon);
        port = text.substr(colon + 1);
        if (port.empty() || host.find(':') != std::string_view::npos) return std::nullopt;
    }
    if (host.empty() || host.find('\0') != std::string_view::npos) return std::nullopt;
    if (port.empty()) return std::pair{std::string(host), defaultPort};
    const std::optional<int> number = Number(port, 1, 65535);
    if (!number) return std::nullopt;
    return std::pair{std::string(host), *number};
}

// "1-16", "1,3,5-9": lamps 1 to 108, each once, in the order given.
std::optional<std::vector<int>> LampList(std::string_view text) {
    std::vector<int> lamps;
    while (true) {
        const std::size_t comma = text.find(',');
        const std::string_view item = text.substr(0, comma);
        const std::size_t dash = item.find('-');
        const std::optional<int> first = Number(item.substr(0, dash), 1, kLampCount);
        const std::optional<int> last =
            dash == std::string_view::npos ? first : Number(item.substr(dash + 1), 1, kLampCount);
        if (!first || !last || *last < *first) return std::nullopt;
        for (int n = *first; n <= *last; ++n) {
            if (std::find(lamps.begin(), lamps.end(), n) != lamps.end()) return std::nullopt;
            lamps.push_back(n);
        }
        if (comma == std::string_view::npos) return lamps;
        text.remove_prefix(comma + 1);
    }
}

// A positive decimal number, with a dot or a comma, at most `high`.
std::optional<double> Decimal(std::string_view text, double high) {
    std::string dotted(text);
    std::replace(dotted.begin(), dotted.end(), ',', '.');
    double value = 0;
    const auto [end, error] = std::from_chars(dotted.data(), dotted.data() + dotted.size(), value);
    if (error != std::errc() || end != dotted.data() + dotted.size() || !(value > 0) || value > high)
        return std::nullopt;
    return value;
}

}  // namespace hall::config
