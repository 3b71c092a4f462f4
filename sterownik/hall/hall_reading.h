#pragma once

#include "hall_rules.h"

#include <string>

namespace sterownik {

// The hall's files for one group of events, read as they are now. The key
// and scene files are read only for a group that switches to a scene.
HallFiles ReadHallFiles(bool forScene);

// What the start of the log says about the switch-off delay in use.
std::string DelayLine();

}  // namespace sterownik
