#pragma once

#include "posix_file.h"
#include "result.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace hall {

// Positions of a password that are scrambled, stored and compared.
inline constexpr int kPasswordPositions = 64;

// The scrambled form of a password given as 8-bit codes: byte i (from 1) is
// the code plus 2·i − 1, for the first 64 characters. Nothing when a sum
// exceeds 255: such a password can never be stored or log in.
std::optional<std::string> ScramblePassword(std::string_view password);

// Whether `userName` is fit to name an account file in the working
// directory: not empty, no path separator, not "." or "..", no NUL, and not
// one of the configurator's own files in any letter case.
bool IsValidAccountName(std::string_view userName);

// True when the account file can be opened for reading.
bool AccountFileExists(const std::filesystem::path& userName);

// Creates the account file holding the scrambled bytes and CR LF. Never
// replaces a file: a name that exists, even one that appeared since
// AccountFileExists, makes it fail.
Status WriteAccountFile(const std::filesystem::path& userName, std::string_view scrambled);

// The stored value: the file's first line without its line end, or why there
// is none, as ReadFirstLine says it (a file without a byte is no account).
os::SysResult<std::string> ReadAccountFile(const std::filesystem::path& userName);

}  // namespace hall
