#include "config_line.h"

namespace hall {

std::string LineError(const SourceLine& line, std::string_view reason) {
    return kControllerConfigPath.string() + ", wiersz " + std::to_string(line.number) + ": " + std::string(reason) +
           ": \"" + QuotedForLog(line.text) + "\"";
}

std::string KeyName(int key) { return std::string(1, char('A' + key / 4)) + char('1' + key % 4); }

std::optional<int> KeyIndex(std::string_view name) {
    if (name.size() != 2 || name[0] < 'A' || name[0] > 'F' || name[1] < '1' || name[1] > '4') return std::nullopt;
    return (name[0] - 'A') * 4 + (name[1] - '1');
}

std::string QuotedForLog(std::string_view text, std::size_t limit) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string quoted;
    for (const char c : text.substr(0, limit)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f && c != '\\') {
            quoted += c;
        } else {
            quoted += "\\x";
            quoted += kHex[byte >> 4];
            quoted += kHex[byte & 15];
        }
    }
    if (text.size() > limit) quoted += "...";
    return quoted;
}

}  // namespace hall
