#pragma once

#include "broker_link.h"
#include "controller.h"

#include <functional>
#include <ostream>

namespace sterownik {

// One thread, one group of events at a time: waits on the broker's socket,
// the watch of ../actual.txt (and of the file a link of it leads to), SIGTERM,
// SIGINT and SIGHUP, and the next deadline (a zone's release, the next try
// to connect, the link's upkeep). Every message already waiting is read
// before the group is carried out. SIGHUP calls `reload`. Returns the exit
// status: 0 after SIGTERM or SIGINT, 1 when the loop cannot be set up.
int RunLoop(Controller& controller, BrokerLink& link, const std::function<void()>& reload, std::ostream& log);

}  // namespace sterownik
