#pragma once

#include "device_link.h"
#include "input_edges.h"
#include "modbus_config.h"
#include "reactor.h"

#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace sterownik {

// What the hall's Modbus devices tell the controller, on the loop's thread.
class ModbusListener {
public:
    virtual ~ModbusListener() = default;
    virtual void arrived(const Event& event, const std::string& source) = 0;
    virtual void deviceAvailable(const std::string& device, bool online) = 0;
    // What a device online read of its lamp watches, every second; nothing
    // while it is away, so that its lamps' failures stay as last read.
    virtual void lampSignals(const std::vector<LampSignal>& /*readings*/) {}
};

// The hall's Modbus devices on the loop's side: one link each, the lamps
// handed to their outputs, their inputs turned into events, their lamp
// watches' readings passed on, each device's coming and going logged once.
// A line a device refuses is logged with the line and left out until the
// device's wiring changes. A device whose worker ends unexpectedly says so in
// the log and is started again after 1 s, 2, ... up to a minute, as if it had
// gone away meanwhile.
class ModbusHub {
public:
    ModbusHub(loop::Reactor& reactor, ModbusListener& listener, std::ostream& log);
    ~ModbusHub();

    // The devices as `config` has them. A device whose address and wiring
    // are unchanged goes on as it is; a rewired one gets a new link, and its
    // inputs wired as before keep their levels; an input no longer read
    // counts as gone (see InputEdges::handOver). Never waits for a worker.
    void configure(const hall::ModbusConfig& config);
    // The lamps as they are now; each device is written only what changed for it.
    void show(const hall::LampsLit& lamps);
    // Whether each device answers now, by name.
    const std::map<std::string, bool>& availability() const { return available_; }
    int away() const;

private:
    struct Device;
    void startLink(Device& device);
    void showTo(Device& device);
    void readable(Device& device);
    void take(Device& device, const DeviceLink::Report& report);
    void ended(Device& device, const std::string& why);
    void tell(const std::vector<InputEdges::Change>& changes);
    void setAvailable(const Device& device, bool online);

    loop::Registrations registrations_;
    ModbusListener& listener_;
    std::ostream& log_;
    std::vector<std::unique_ptr<Device>> devices_;
    std::map<std::string, bool> available_;
    std::optional<hall::LampsLit> lamps_;
};

}  // namespace sterownik
