#pragma once

#include "clock.h"
#include "handover.h"
#include "lamp_failures.h"
#include "modbus_config.h"
#include "register_map.h"
#include "result.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace sterownik {

// One Modbus TCP device, driven by a worker thread of its own, so that a
// device that does not answer holds up nothing else: the worker only moves
// requests and replies, and the loop, where the rules run, takes what it
// reports through a descriptor it waits on.
//
// The worker writes the outputs it is given ahead of its next poll, reads the
// inputs at every poll, and after every connection writes all outputs again,
// as a restarted module wakes with its relays off; a device without inputs
// has its first output read back every second instead, and rewritten when it
// is not as written. Its lamp watches are read every second, whatever its
// inputs and outputs. A reply later than the device's limit ends the
// connection, so that no late reply is taken for another request's; the
// connection is tried again after 100 ms, 200, ... up to 10 s.
//
// Destroying the link never waits: the worker is told to stop, its
// connection is shut under it, and it finishes on its own thread.
class DeviceLink {
public:
    struct Report {
        enum class Kind { Online, Offline, Levels, Lamps, Refused, Ended };
        Kind kind;
        std::string reason{};                                   // Offline, Refused, Ended: what was said
        std::vector<bool> levels{};                             // Levels: every input, in the order of the inputs
        std::optional<std::size_t> output{}, input{}, watch{};  // Refused: the line left out
        std::vector<LampSignal> lamps{};                        // Lamps: every watch read, in their order
    };

    // Starts the worker, or says why it cannot.
    static hall::Result<std::unique_ptr<DeviceLink>> Start(hall::ModbusDevice device,
                                                           std::vector<hall::ModbusInput> inputs,
                                                           std::vector<hall::ModbusLampWatch> watches);
    ~DeviceLink();
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    // Readable when take() has something.
    int descriptor() const;
    // The outputs as they should be now; the last given wins.
    void write(std::vector<OutputWrite> writes);
    // What happened since the last call, in order.
    std::vector<Report> take();

private:
    struct Worker;
    explicit DeviceLink(std::shared_ptr<Worker> worker) : worker_(std::move(worker)) {}

    std::shared_ptr<Worker> worker_;
};

}  // namespace sterownik
