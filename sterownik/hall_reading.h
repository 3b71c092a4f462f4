#pragma once

#include "hall_rules.h"

#include <string>

namespace sterownik {

// The hall's files for one event, read as they are now. The key files are
// read for a key press only.
HallFiles ReadHallFiles(bool forKey);

// What the start of the log says about the switch-off delay in use.
std::string DelayLine();

}  // namespace sterownik
