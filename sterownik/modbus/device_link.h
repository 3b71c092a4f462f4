#pragma once

#include "hall_rules.h"
#include "handover.h"
#include "modbus_config.h"
#include "register_map.h"

#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
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
// is not as written. A reply later than the
// device's limit ends the connection, so that no late reply is taken for
// another request's; the connection is tried again after 100 ms, 200, ... up
// to 10 s.
class DeviceLink {
public:
    struct Report {
        enum class Kind { Online, Offline, Levels, Refused };
        Kind kind;
        std::string reason;                        // Offline, Refused: what the device or the library said
        std::vector<bool> levels;                  // Levels: every input, in the order of the inputs
        std::optional<std::size_t> output, input;  // Refused: the line left out
    };

    DeviceLink(hall::ModbusDevice device, std::vector<hall::ModbusInput> inputs, int wake);
    ~DeviceLink();
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    // The outputs as they should be now; the last given wins.
    void write(std::vector<OutputWrite> writes);
    // What happened since the last call, in order.
    std::vector<Report> take();

private:
    struct Connection;

    void run();
    bool connect(Connection& connection);
    bool writeAll(Connection& connection, const std::vector<OutputWrite>& writes);
    bool poll(Connection& connection);
    bool checkOutputs(Connection& connection);
    void report(Report report);
    bool failed(Connection& connection, const std::string& reason);
    bool answered(Connection& connection);

    const hall::ModbusDevice device_;
    const std::vector<hall::ModbusInput> inputs_;
    std::vector<InputRead> reads_;  // the worker's own once it runs
    Handover<Report> reports_;

    std::mutex mutex_;
    std::condition_variable changed_;
    bool stop_ = false;
    std::optional<std::vector<OutputWrite>> pending_;  // given, not yet written
    std::thread worker_;
};

}  // namespace sterownik
