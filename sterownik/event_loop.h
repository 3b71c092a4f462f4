#pragma once

#include "bms_server.h"
#include "broker_link.h"
#include "controller.h"
#include "modbus_hub.h"

#include <functional>
#include <ostream>

namespace sterownik {

// What the loop drives besides the controller; nothing where the hall has none.
struct Wiring {
    BrokerLink* broker = nullptr;
    ModbusHub* modbus = nullptr;
    BmsServer* bms = nullptr;
};

// One thread, one group of events at a time: waits on the broker's socket,
// the Modbus devices' reports, the watch of ../actual.txt (and of the file a
// link of it leads to), SIGTERM, SIGINT and SIGHUP, and the next deadline (a
// zone's release, the next try to connect, the link's upkeep). Every message
// already waiting is read before the group is carried out. SIGHUP calls
// `reload`, which may rewire. Returns the exit status: 0 after SIGTERM or
// SIGINT, 1 when the loop cannot be set up.
// The loop's signals kept from every thread: call it before any thread starts,
// which inherits it, so that a signal reaches the loop and nothing else.
bool BlockLoopSignals();

int RunLoop(Controller& controller, const Wiring& wiring, const std::function<void()>& reload, std::ostream& log);

}  // namespace sterownik
