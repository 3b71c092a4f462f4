#pragma once

#include "bms_server.h"
#include "broker_link.h"
#include "controller.h"
#include "lamp_upkeep.h"
#include "modbus_hub.h"
#include "panel_part.h"
#include "reactor.h"
#include "setup.h"
#include "signals.h"
#include "state_watch.h"

#include <memory>
#include <ostream>

namespace sterownik {

// The controller and its parts on one reactor: the signals, the broker
// link, the watch of ../actual.txt, the Modbus devices and the BMS server.
// SIGHUP reads sterownik.conf again and changes only the parts it changes.
class Wiring {
public:
    Wiring(Setup setup, std::ostream& log);
    // Starts every part and turns until SIGTERM or SIGINT: 0 then; 1 when
    // the loop cannot run, 2 when the configuration cannot be carried out.
    int run();

private:
    void reload();
    void logStart() const;

    Setup running_;
    std::ostream& log_;
    loop::Reactor reactor_;
    LampUpkeep upkeep_;
    Controller controller_;
    loop::SignalPart signals_;
    std::unique_ptr<BrokerLink> broker_;
    loop::Registrations settling_;
    StateWatch watch_;
    ModbusHub hub_;
    std::unique_ptr<BmsServer> bms_;
    panel::PanelPart panel_;
};

}  // namespace sterownik
