#include "modbus_hub.h"

#include "controller_config.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>

namespace sterownik {

struct ModbusHub::Device {
    hall::ModbusDevice config;
    std::vector<hall::ModbusOutput> outputs;
    std::vector<hall::ModbusInput> inputs;
    InputEdges edges;
    std::vector<OutputWrite> shown;  // as last handed to the link
    DeviceLink link;

    Device(hall::ModbusDevice device, std::vector<hall::ModbusOutput> outs, std::vector<hall::ModbusInput> ins,
           int wake)
        : config(std::move(device)),
          outputs(std::move(outs)),
          inputs(ins),
          edges(config.name, ins),
          link(config, std::move(ins), wake) {}
};

namespace {

bool SameValues(const std::vector<OutputWrite>& a, const std::vector<OutputWrite>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const OutputWrite& x, const OutputWrite& y) {
        return x.registers == y.registers && x.address == y.address && x.values == y.values;
    });
}

}  // namespace

ModbusHub::ModbusHub(const hall::ModbusConfig& config, std::ostream& log)
    : wake_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)), log_(log) {
    for (const hall::ModbusDevice& device : config.devices) {
        std::vector<hall::ModbusOutput> outputs;
        std::copy_if(config.outputs.begin(), config.outputs.end(), std::back_inserter(outputs),
                     [&](const auto& o) { return o.device == device.name; });
        std::vector<hall::ModbusInput> inputs;
        std::copy_if(config.inputs.begin(), config.inputs.end(), std::back_inserter(inputs),
                     [&](const auto& i) { return i.device == device.name; });
        devices_.push_back(std::make_unique<Device>(device, std::move(outputs), std::move(inputs), wake_.get()));
        available_[device.name] = false;
    }
}

ModbusHub::~ModbusHub() = default;

int ModbusHub::away() const {
    return static_cast<int>(
        std::count_if(available_.begin(), available_.end(), [](const auto& d) { return !d.second; }));
}

void ModbusHub::show(const hall::LampsLit& lamps) {
    for (const auto& device : devices_) {
        std::vector<OutputWrite> writes = OutputWrites(device->outputs, lamps);
        if (writes.empty() || (!device->shown.empty() && SameValues(writes, device->shown))) continue;
        device->shown = writes;
        device->link.write(std::move(writes));
    }
}

void ModbusHub::readable(ModbusListener& listener) {
    std::uint64_t count = 0;
    (void)!::read(wake_.get(), &count, sizeof count);
    for (const auto& device : devices_)
        for (const DeviceLink::Report& report : device->link.take()) take(*device, report, listener);
}

void ModbusHub::take(Device& device, const DeviceLink::Report& report, ModbusListener& listener) {
    const std::string name = "modbus " + device.config.name;
    using Kind = DeviceLink::Report::Kind;
    std::vector<InputEdges::Change> changes;
    switch (report.kind) {
        case Kind::Online:
            log_ << name << ": połączono z " << hall::QuotedForLog(device.config.host) << ":" << device.config.port
                 << std::endl;
            break;
        case Kind::Offline:
            log_ << name << ": nie odpowiada (" << report.reason << "), ponawiam co najwyżej co 10 s" << std::endl;
            changes = device.edges.lost();
            break;
        case Kind::Levels: changes = device.edges.update(report.levels); break;
        case Kind::Refused: {
            const hall::SourceLine& line =
                report.output ? device.outputs[*report.output].line : device.inputs[*report.input].line;
            log_ << name << ": " << hall::LineError(line, "urządzenie odmawia (" + report.reason + "), pominięto")
                 << std::endl;
            return;
        }
    }
    for (const InputEdges::Change& change : changes) listener.arrived(change.event, change.source);
    const bool online = report.kind != Kind::Offline;
    if (report.kind != Kind::Levels && available_[device.config.name] != online) {
        available_[device.config.name] = online;
        listener.deviceAvailable(device.config.name, online);
    }
}

}  // namespace sterownik
