#pragma once

#include <cstddef>
#include <string>

namespace hall {

// A line of sterownik.conf, by its number from 1: what an error names.
struct SourceLine {
    std::size_t number = 0;
    std::string text;
    bool operator==(const SourceLine&) const = default;
};

}  // namespace hall
