#pragma once

#include "broker_link.h"
#include "controller_config.h"
#include "result.h"

#include <optional>

namespace sterownik {

// Everything sterownik.conf sets, checked as a whole.
struct Setup {
    hall::ControllerConfig config;
    LinkSettings link;
};

// sterownik.conf and the password file it names, read now.
hall::Result<Setup> LoadSetup();

// The socket systemd handed over by its LISTEN_FDS protocol (descriptor 3
// on), meant for this process; nothing when none. The variables go, so that
// no child takes them.
hall::Result<std::optional<int>> HandedSocket();

}  // namespace sterownik
