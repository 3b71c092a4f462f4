#pragma once

#include "file_error.h"
#include "posix_file.h"
#include "result.h"

#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace hall {

inline constexpr int kLampCount = 108;

// State values of the lamp state file and the scene command files.
inline constexpr int kStateOff = 1;
inline constexpr int kStateOn = 3;

// One state value per lamp, index 0 for lamp 1.
using LampStates = std::array<int, kLampCount>;
// Whether each lamp is lit, index 0 for lamp 1.
using LampsLit = std::array<bool, kLampCount>;

// "../actual.txt": shared with the other programs of the hall.
inline const std::filesystem::path kStateFilePath = std::filesystem::path("..") / "actual.txt";

LampStates AllOffStates();
// State 3 for each lit lamp, 1 for the others.
LampStates StatesOf(const LampsLit& lit);

// "la1=…&la2=…&…la108=…&", without the line end.
std::string ComposeStateLine(const LampStates& states);

// The composed line and CR LF, replacing `file` atomically.
Status WriteStateFile(const LampStates& states, const std::filesystem::path& file = kStateFilePath);
// The same, calling `inPlace` once every reader sees the new file (see WriteFileAtomically).
Status WriteStateFile(const LampStates& states, const std::function<void()>& inPlace);

// Lamps by position: piece i of the line split at "&" is lamp i + 1, its
// value the text between its first and second "=". A value equal to 1 is
// off, every other number lit. Nothing when the line cannot give all 108
// lamps (fewer pieces, a piece without "=", a value that is not a number).
std::optional<LampsLit> ParseStateLine(std::string_view line);

int LitCount(const LampsLit& lamps);

// How many lamps are lit, as the tools' logs say it in Polish: "nie świeci
// żadna lampa", "świeci 1 lampa", "świecą 42 lampy", "świeci 9 lamp".
std::string LitLampsPhrase(int lit);

// Reads the first line of `file`: the system's error as ReadFirstLine gives it
// when it cannot, FileError::Damaged when the line gives no 108 lamps.
os::SysResult<LampsLit> ReadStateFile(const std::filesystem::path& file = kStateFilePath);

}  // namespace hall
