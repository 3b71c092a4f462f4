#include "panel_sessions.h"

#include "line_file.h"

#include <algorithm>
#include <charconv>

namespace hall {
namespace {

constexpr std::size_t kTokenLength = 32;
constexpr std::size_t kFileLimit = 1024 * 1024;

bool IsToken(std::string_view text) {
    return text.size() == kTokenLength && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

std::optional<PanelSession> ParseLine(std::string_view line) {
    const std::size_t first = line.find(' ');
    const std::size_t second = first == std::string_view::npos ? first : line.find(' ', first + 1);
    if (second == std::string_view::npos) return std::nullopt;
    const std::string_view token = line.substr(0, first), ms = line.substr(first + 1, second - first - 1),
                           user = line.substr(second + 1);
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(ms.data(), ms.data() + ms.size(), value);
    if (!IsToken(token) || error != std::errc() || end != ms.data() + ms.size() || user.empty() ||
        !IsPrintableName(user))
        return std::nullopt;
    return PanelSession{std::string(token), std::string(user), WallTime(std::chrono::milliseconds(value))};
}

}  // namespace

bool IsPrintableName(std::string_view name) {
    return std::none_of(name.begin(), name.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

Result<std::vector<PanelSession>> ReadPanelSessions(const std::filesystem::path& file) {
    const os::SysResult<std::vector<std::string>> lines = ReadLines(file, kFileLimit);
    if (!lines && lines.error() == std::errc::no_such_file_or_directory) return std::vector<PanelSession>{};
    if (!lines) return Unexpected(file.string() + ": " + lines.error().message());
    std::vector<PanelSession> sessions;
    for (const std::string& line : *lines)
        if (std::optional<PanelSession> session = ParseLine(line)) sessions.push_back(std::move(*session));
    return sessions;
}

Status WritePanelSessions(const std::vector<PanelSession>& sessions, const std::filesystem::path& file) {
    std::string text;
    for (const PanelSession& s : sessions)
        text += s.token + ' ' + std::to_string(s.lastSeen.time_since_epoch().count()) + ' ' + s.user + '\n';
    // Exclusively first, so that the secrets are never readable by others, not even for a moment.
    (void)CreateFileExclusively(file, "", std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    return WriteFileAtomically(file, text);
}

}  // namespace hall
