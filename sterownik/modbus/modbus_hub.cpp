#include "modbus_hub.h"

#include "config_line.h"

#include <algorithm>

namespace sterownik {
namespace {

using namespace std::chrono_literals;

constexpr Duration kFirstRestart = 1s;
constexpr Duration kLongestRestart = 60s;

bool SameValues(const std::vector<OutputWrite>& a, const std::vector<OutputWrite>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const OutputWrite& x, const OutputWrite& y) {
        return x.registers == y.registers && x.address == y.address && x.values == y.values;
    });
}

// Equal but for the lines they were given on: a comment added above them changes nothing.
template <class Item>
bool SameWiring(Item a, Item b) {
    a.line = b.line = {};
    return a == b;
}
template <class Item>
bool SameWiring(const std::vector<Item>& a, const std::vector<Item>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const Item& x, const Item& y) { return SameWiring(x, y); });
}

template <class Item>
std::vector<Item> OfDevice(const std::vector<Item>& items, const std::string& device) {
    std::vector<Item> mine;
    std::copy_if(items.begin(), items.end(), std::back_inserter(mine),
                 [&](const Item& i) { return i.device == device; });
    return mine;
}

}  // namespace

struct ModbusHub::Device {
    hall::ModbusDevice config;
    std::vector<hall::ModbusOutput> outputs;
    std::vector<hall::ModbusInput> inputs;
    std::vector<hall::ModbusLampWatch> watches;
    InputEdges edges;
    std::vector<OutputWrite> shown;  // as last handed to the link
    std::unique_ptr<DeviceLink> link;
    loop::Reactor::Id watch = 0, restartTimer = 0;
    Duration restart = kFirstRestart;

    Device(hall::ModbusDevice device, std::vector<hall::ModbusOutput> outs, std::vector<hall::ModbusInput> ins,
           std::vector<hall::ModbusLampWatch> lampWatches)
        : config(std::move(device)),
          outputs(std::move(outs)),
          inputs(ins),
          watches(std::move(lampWatches)),
          edges(config.name, std::move(ins)) {}
    bool sameAs(const Device& other) const {
        return SameWiring(config, other.config) && SameWiring(outputs, other.outputs) &&
               SameWiring(inputs, other.inputs) && SameWiring(watches, other.watches);
    }
};

ModbusHub::ModbusHub(loop::Reactor& reactor, ModbusListener& listener, std::ostream& log)
    : registrations_(reactor), listener_(listener), log_(log) {}

ModbusHub::~ModbusHub() = default;

void ModbusHub::configure(const hall::ModbusConfig& config) {
    std::vector<std::unique_ptr<Device>> next;
    for (const hall::ModbusDevice& wanted : config.devices) {
        auto device =
            std::make_unique<Device>(wanted, OfDevice(config.outputs, wanted.name),
                                     OfDevice(config.inputs, wanted.name), OfDevice(config.watches, wanted.name));
        const auto old = std::find_if(devices_.begin(), devices_.end(),
                                      [&](const auto& d) { return d && d->config.name == wanted.name; });
        if (old != devices_.end() && (*old)->sameAs(*device)) {
            // Kept as it is; only the lines its errors name are the new file's.
            (*old)->config = wanted;
            (*old)->outputs = std::move(device->outputs);
            (*old)->inputs = std::move(device->inputs);
            (*old)->watches = std::move(device->watches);
            next.push_back(std::move(*old));
            continue;
        }
        const bool sameModule = old != devices_.end() && (*old)->config.host == wanted.host &&
                                (*old)->config.port == wanted.port && (*old)->config.unit == wanted.unit;
        if (sameModule) tell((*old)->edges.handOver(&device->edges));
        if (old != devices_.end() && !sameModule) tell((*old)->edges.handOver(nullptr));
        available_.try_emplace(wanted.name, false);
        next.push_back(std::move(device));
        startLink(*next.back());
    }
    for (auto& gone : devices_) {
        if (!gone) continue;
        if (std::none_of(next.begin(), next.end(), [&](const auto& d) { return d->config.name == gone->config.name; }))
            tell(gone->edges.handOver(nullptr)), available_.erase(gone->config.name);
        registrations_.remove(gone->watch);
        registrations_.remove(gone->restartTimer);
    }
    devices_ = std::move(next);
    if (lamps_) show(*lamps_);
}

void ModbusHub::startLink(Device& device) {
    registrations_.remove(device.watch);
    device.shown.clear();
    hall::Result<std::unique_ptr<DeviceLink>> link = DeviceLink::Start(device.config, device.inputs, device.watches);
    if (!link) return ended(device, link.error());
    device.link = std::move(*link);
    device.watch =
        registrations_.watch(device.link->descriptor(), POLLIN, [this, &device](short) { readable(device); });
    showTo(device);
}

int ModbusHub::away() const {
    return static_cast<int>(
        std::count_if(available_.begin(), available_.end(), [](const auto& d) { return !d.second; }));
}

void ModbusHub::show(const hall::LampsLit& lamps) {
    lamps_ = lamps;
    for (const auto& device : devices_) showTo(*device);
}

void ModbusHub::showTo(Device& device) {
    if (!device.link || !lamps_) return;
    std::vector<OutputWrite> writes = OutputWrites(device.outputs, *lamps_);
    if (writes.empty() || (!device.shown.empty() && SameValues(writes, device.shown))) return;
    device.shown = writes;
    device.link->write(std::move(writes));
}

void ModbusHub::readable(Device& device) {
    for (const DeviceLink::Report& report : device.link->take()) take(device, report);
}

void ModbusHub::tell(const std::vector<InputEdges::Change>& changes) {
    for (const InputEdges::Change& change : changes) listener_.arrived(change.event, change.source);
}

void ModbusHub::take(Device& device, const DeviceLink::Report& report) {
    const std::string name = "modbus " + device.config.name;
    using Kind = DeviceLink::Report::Kind;
    switch (report.kind) {
        case Kind::Online:
            device.restart = kFirstRestart;
            log_ << name << ": połączono z " << hall::QuotedForLog(device.config.host) << ":" << device.config.port
                 << std::endl;
            break;
        case Kind::Offline:
            log_ << name << ": nie odpowiada (" << report.reason << "), ponawiam co najwyżej co 10 s" << std::endl;
            tell(device.edges.lost());
            break;
        case Kind::Levels: tell(device.edges.update(report.levels)); return;
        case Kind::Lamps: listener_.lampSignals(report.lamps); return;
        case Kind::Refused: {
            const hall::SourceLine& line = report.output  ? device.outputs[*report.output].line
                                           : report.input ? device.inputs[*report.input].line
                                                          : device.watches[*report.watch].line;
            log_ << name << ": " << hall::LineError(line, "urządzenie odmawia (" + report.reason + "), pominięto")
                 << std::endl;
            return;
        }
        case Kind::Ended: return ended(device, report.reason);
    }
    setAvailable(device, report.kind == Kind::Online);
}

void ModbusHub::setAvailable(const Device& device, bool online) {
    if (available_[device.config.name] == online) return;
    available_[device.config.name] = online;
    listener_.deviceAvailable(device.config.name, online);
}

// The worker is gone: the device counts as away until a new one reaches it.
void ModbusHub::ended(Device& device, const std::string& why) {
    const std::string name = "modbus " + device.config.name;
    log_ << name << ": wątek urządzenia zakończył się nieoczekiwanie" << (why.empty() ? "" : " (" + why + ")")
         << ", uruchamiam go ponownie za " << std::chrono::duration_cast<std::chrono::seconds>(device.restart).count()
         << " s" << std::endl;
    registrations_.remove(device.watch);
    device.link.reset();
    tell(device.edges.lost());
    setAvailable(device, false);
    device.restartTimer = registrations_.after(Clock::now() + device.restart, [this, &device] { startLink(device); });
    device.restart = std::min(device.restart * 2, kLongestRestart);
}

}  // namespace sterownik
