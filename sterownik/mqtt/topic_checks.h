#pragma once

#include "controller_config.h"
#include "result.h"

namespace sterownik {

// What the file reader cannot check, as it knows no MQTT: every topic is one
// the library takes (UTF-8, levels), and no device's topic is one of the
// controller's own, which would feed its own messages back to it: one "ON"
// would switch the hall for ever. An error names the line.
hall::Status CheckTopics(const hall::ControllerConfig& config);

}  // namespace sterownik
