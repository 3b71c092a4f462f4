#pragma once

#include "device_link.h"
#include "input_edges.h"
#include "modbus_config.h"
#include "posix_file.h"

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
};

// The hall's Modbus devices on the loop's side: one link each, the lamps
// handed to their outputs, their inputs turned into events, each device's
// coming and going logged once. A line a device refuses is logged with the
// line and left out until the next start.
class ModbusHub {
public:
    ModbusHub(const hall::ModbusConfig& config, std::ostream& log);
    ~ModbusHub();

    // Readable when a device has something to tell.
    int descriptor() const { return wake_.get(); }
    void readable(ModbusListener& listener);
    // The lamps as they are now; each device is written only what changed for it.
    void show(const hall::LampsLit& lamps);
    // Whether each device answers now, by name.
    const std::map<std::string, bool>& availability() const { return available_; }
    int away() const;

private:
    struct Device;
    void take(Device& device, const DeviceLink::Report& report, ModbusListener& listener);

    hall::os::Descriptor wake_;
    std::ostream& log_;
    std::vector<std::unique_ptr<Device>> devices_;
    std::map<std::string, bool> available_;
};

}  // namespace sterownik
