#pragma once

#include "broker_link.h"
#include "controller.h"
#include "controller_config.h"
#include "lamp_upkeep.h"
#include "modbus_hub.h"
#include "panel_server.h"
#include "reactor.h"

#include <memory>
#include <ostream>

namespace sterownik::panel {

// The web panel as a part of the loop: shows the server the hall whenever
// its lamps or zones change, and everything once a second with the beat;
// carries the panel's commands to the controller, with their account as
// their source, and its notes to the log.
class PanelPart {
public:
    PanelPart(loop::Reactor& reactor, Controller& controller, const LampUpkeep& upkeep, const ModbusHub& hub,
              std::ostream& log);

    // Nothing without a panel in the configuration; an error when it cannot listen.
    hall::Status start(const hall::ControllerConfig& config, const BrokerLink* broker);
    // What a reload may change: the hall's name, watching without login.
    void reconfigure(const hall::ControllerConfig& config);

private:
    std::optional<TimePoint> prepare(TimePoint now);
    PanelView view(const HallView& hall, TimePoint now) const;
    void readable();

    loop::Registrations registrations_;
    Controller& controller_;
    const LampUpkeep& upkeep_;
    const ModbusHub& hub_;
    std::ostream& log_;
    const BrokerLink* broker_ = nullptr;
    std::string hall_;
    std::unique_ptr<PanelServer> server_;
    std::optional<HallView> shown_;
    std::optional<PanelView> shownView_;
    TimePoint nextBeat_{};
};

}  // namespace sterownik::panel
