#pragma once

#include "broker_link.h"
#include "controller.h"

#include <ostream>

namespace sterownik {

// One thread, one event at a time: waits on the broker's socket, the watch
// of ../actual.txt, SIGTERM and SIGINT, and the next deadline (a zone's
// release, the next try to connect, the link's upkeep). Returns the exit
// status: 0 after a signal, 1 when the loop cannot be set up.
int RunLoop(Controller& controller, BrokerLink& link, const Message& offline, std::ostream& log);

}  // namespace sterownik
