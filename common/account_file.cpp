#include "account_file.h"

#include "line_file.h"
#include "posix_file.h"

#include <algorithm>
#include <array>

namespace hall {
namespace {

// A stored value is at most 64 bytes; a longer line can never match.
constexpr std::size_t kReadLimit = 4 * 1024;

// The scramble is reversible: the owner writes, the group (who may log in)
// reads, nobody else.
constexpr auto kAccountPermissions =
    std::filesystem::perms::owner_read | std::filesystem::perms::owner_write | std::filesystem::perms::group_read;

constexpr std::array<std::string_view, 18> kConfiguratorFiles = {
    "vuzo1.txt",   "vuzo2.txt", "vuzo3.txt",      "vuzo4.txt",      "vuzo5.txt",       "vuzo6.txt",
    "vuzo7.txt",   "vuzo8.txt", "pakiet.txt",     "czuj.txt",       "help.htm",        "opoznienie.txt",
    "tydzien.txt", "daty.txt",  "sterownik.conf", "sterownik.lock", "sterownik.sesje", "dziennik.sqlite"};

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

std::optional<std::string> ScramblePassword(std::string_view password) {
    std::string scrambled;
    const std::size_t positions = std::min<std::size_t>(password.size(), kPasswordPositions);
    for (std::size_t i = 1; i <= positions; ++i) {
        const int code = static_cast<unsigned char>(password[i - 1]);
        const int sum = code + 2 * static_cast<int>(i) - 1;
        if (sum > 255) return std::nullopt;
        scrambled += static_cast<char>(sum);
    }
    return scrambled;
}

bool IsValidAccountName(std::string_view userName) {
    if (userName.empty() || userName == "." || userName == "..") return false;
    if (userName.find_first_of(std::string_view("/\\\0", 3)) != std::string_view::npos) return false;
    return std::none_of(kConfiguratorFiles.begin(), kConfiguratorFiles.end(),
                        [&](std::string_view own) { return EqualsIgnoringAsciiCase(userName, own); });
}

bool AccountFileExists(const std::filesystem::path& userName) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(userName, ec);
    if (ec || !std::filesystem::exists(status)) return false;
    // A directory or device of that name takes the name all the same; a FIFO
    // must not be opened, it would block.
    if (!std::filesystem::is_regular_file(status)) return true;
    return os::ReadRegularFile(userName, 0).has_value();
}

Status WriteAccountFile(const std::filesystem::path& userName, std::string_view scrambled) {
    std::string content(scrambled);
    content += "\r\n";
    return CreateFileExclusively(userName, content, kAccountPermissions);
}

os::SysResult<std::string> ReadAccountFile(const std::filesystem::path& userName) {
    return ReadFirstLine(userName, kReadLimit);
}

}  // namespace hall
