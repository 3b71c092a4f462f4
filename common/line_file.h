#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace hall {

// Replaces `target` with exactly `bytes`: the bytes go to a temporary file in
// the target's directory, which is then renamed over the target. A reader in
// any process sees the old file or the new one, never a part of either.
// On failure the target is untouched and `error` (when given) says why.
bool WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes, std::string* error = nullptr);

// Creates `target` holding exactly `bytes`, never replacing a file of that
// name, even one that appears while this runs. Fails when the name exists.
bool CreateFileExclusively(const std::filesystem::path& target, std::string_view bytes, std::string* error = nullptr);

// The first line of a regular file: the bytes before the first CR, or all of
// them when there is none, reading at most `limit` bytes. Missing and empty
// files, directories, devices and read errors give nothing.
std::optional<std::string> ReadFirstLine(const std::filesystem::path& file, std::size_t limit);

}  // namespace hall
