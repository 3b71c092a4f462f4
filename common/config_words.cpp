#include "config_words.h"

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

}  // namespace hall::config
