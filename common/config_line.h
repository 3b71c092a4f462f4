#pragma once

// What every reader of sterownik.conf's lines names an error by: the file, the
// line, the quoted text; and the keys' names both readers take.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace hall {

// The controller's settings, in the working directory.
inline const std::filesystem::path kControllerConfigPath = "sterownik.conf";

// A line of sterownik.conf, by its number from 1: what an error names.
struct SourceLine {
    std::size_t number = 0;
    std::string text;
    bool operator==(const SourceLine&) const = default;
};

// "sterownik.conf, wiersz N: reason: "line"", as every error about a line says it.
std::string LineError(const SourceLine& line, std::string_view reason);

// A key's name from its index, 0 for A1 to 23 for F4; and back, nothing for
// a name that is no key.
std::string KeyName(int key);
std::optional<int> KeyIndex(std::string_view name);

// Printable ASCII as it is, every other byte as \xNN, cut after `limit` bytes:
// for log lines that quote outside text.
std::string QuotedForLog(std::string_view text, std::size_t limit = 60);

}  // namespace hall
