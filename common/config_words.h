#pragma once

// The words of sterownik.conf's lines, shared by its readers.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace hall::config {

using Words = std::vector<std::string_view>;

// The words of a line up to a comment ("#" at the start of a word).
Words SplitWords(std::string_view line);

// A decimal number from `low` to `high`, without sign or leading zeros.
std::optional<int> Number(std::string_view text, int low, int high);

// "1-16", "1,3,5-9": lamps 1 to 108, each once, in the order given.
std::optional<std::vector<int>> LampList(std::string_view text);

// A number above 0 and at most `high`, whole or decimal ("58", "36.5", "36,5").
std::optional<double> Decimal(std::string_view text, double high);

// HOST[:PORT] or [IPv6][:PORT]; `defaultPort` when it has none.
std::optional<std::pair<std::string, int>> HostAndPort(std::string_view text, int defaultPort);

}  // namespace hall::config
