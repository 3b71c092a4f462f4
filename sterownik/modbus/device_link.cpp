#include "device_link.h"

#include <modbus/modbus.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <set>

namespace sterownik {
namespace {

using namespace std::chrono_literals;

constexpr Duration kFirstRetry = 100ms;
constexpr Duration kLongestRetry = 10s;
// A device with outputs only is asked this often whether its first output is
// as written: a connection that died, or a module that restarted behind a
// gateway, shows there.
constexpr Duration kOutputCheck = 1s;

// The device answered, with an exception: the request, not the link, is at fault.
bool IsException(int error) { return error >= EMBXILFUN && error <= EMBXGTAR; }

std::string Said(int error) { return modbus_strerror(error); }

}  // namespace

struct DeviceLink::Connection {
    modbus_t* context = nullptr;
    bool up = false;
    bool online = false;    // as last reported
    bool reported = false;  // reported at all
    bool dirty = false;     // the outputs not yet written on this connection
    std::vector<OutputWrite> outputs;
    std::optional<std::vector<bool>> levels;  // as last reported on this connection
    std::set<std::size_t> refusedOutputs, refusedInputs;
    Duration backoff = kFirstRetry;
    TimePoint retryAt{}, nextPoll{};

    ~Connection() {
        if (!context) return;
        modbus_close(context);
        modbus_free(context);
    }
    // -1 and errno as libmodbus gives them.
    int send(bool registers, int address, const std::vector<std::uint16_t>& values) const {
        if (registers) return modbus_write_registers(context, address, static_cast<int>(values.size()), values.data());
        const std::vector<std::uint8_t> bits(values.begin(), values.end());
        return modbus_write_bits(context, address, static_cast<int>(bits.size()), bits.data());
    }
};

DeviceLink::DeviceLink(hall::ModbusDevice device, std::vector<hall::ModbusInput> inputs, int wake)
    : device_(std::move(device)),
      inputs_(std::move(inputs)),
      reads_(InputReads(inputs_)),
      reports_(wake),
      worker_([this] { run(); }) {}

DeviceLink::~DeviceLink() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_one();
    worker_.join();
}

void DeviceLink::write(std::vector<OutputWrite> writes) {
    {
        const std::lock_guard lock(mutex_);
        pending_ = std::move(writes);
    }
    changed_.notify_one();
}

std::vector<DeviceLink::Report> DeviceLink::take() { return reports_.take(); }

void DeviceLink::report(Report report) { reports_.put(std::move(report)); }

void DeviceLink::run() {
    Connection c;
    c.context = modbus_new_tcp_pi(device_.host.c_str(), std::to_string(device_.port).c_str());
    if (!c.context) return report({Report::Kind::Offline, Said(errno), {}, {}, {}});
    modbus_set_slave(c.context, device_.unit);
    const auto limit = std::chrono::milliseconds(device_.timeoutMs);
    modbus_set_response_timeout(c.context, static_cast<std::uint32_t>(limit.count() / 1000),
                                static_cast<std::uint32_t>(limit.count() % 1000 * 1000));
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            changed_.wait_until(lock, c.up ? c.nextPoll : c.retryAt, [&] { return stop_ || pending_; });
            if (stop_) return;
            if (pending_) c.outputs = std::move(*std::exchange(pending_, std::nullopt)), c.dirty = true;
        }
        const TimePoint now = Clock::now();
        if (!c.up && (now < c.retryAt || !connect(c))) continue;
        // A change goes out ahead of the next poll.
        if (c.dirty && !writeAll(c, c.outputs)) continue;
        const Duration interval = reads_.empty() ? kOutputCheck : std::chrono::milliseconds(device_.pollMs);
        if (now >= c.nextPoll && (reads_.empty() ? checkOutputs(c) : poll(c)))
            c.nextPoll = std::max(c.nextPoll + interval, now);
    }
}

bool DeviceLink::connect(Connection& c) {
    if (modbus_connect(c.context) != 0) return failed(c, Said(errno));
    c.up = true;
    c.dirty = true;
    c.levels.reset();
    c.nextPoll = Clock::now();
    return true;
}

// A device is there once it answers, not when it takes a connection: a module
// that hangs may still take them.
bool DeviceLink::answered(Connection& c) {
    c.backoff = kFirstRetry;
    if (!c.online) report({Report::Kind::Online, {}, {}, {}, {}});
    c.online = c.reported = true;
    return true;
}

// Logged once when it goes away, however often it is tried.
bool DeviceLink::failed(Connection& c, const std::string& reason) {
    modbus_close(c.context);
    c.up = false;
    if (c.online || !c.reported) report({Report::Kind::Offline, reason, {}, {}, {}});
    c.online = false;
    c.reported = true;
    c.retryAt = Clock::now() + c.backoff;
    c.backoff = std::min(c.backoff * 2, kLongestRetry);
    return false;
}

// A run the device refuses is tried line by line, so that only the line it
// refuses is left out.
bool DeviceLink::writeAll(Connection& c, const std::vector<OutputWrite>& writes) {
    for (const OutputWrite& write : writes) {
        const bool whole = std::none_of(write.slices.begin(), write.slices.end(),
                                        [&](const auto& s) { return c.refusedOutputs.contains(s.output); });
        if (whole && c.send(write.registers, write.address, write.values) >= 0) continue;
        if (whole && !IsException(errno)) return failed(c, Said(errno));
        for (const OutputWrite::Slice& slice : write.slices) {
            if (c.refusedOutputs.contains(slice.output) || c.send(write.registers, slice.address, slice.values) >= 0)
                continue;
            if (!IsException(errno)) return failed(c, Said(errno));
            c.refusedOutputs.insert(slice.output);
            report({Report::Kind::Refused, Said(errno), {}, slice.output, {}});
        }
    }
    c.dirty = false;
    return answered(c);
}

bool DeviceLink::checkOutputs(Connection& c) {
    if (c.outputs.empty()) return true;
    const OutputWrite& first = c.outputs.front();
    std::uint16_t value = 0;
    std::uint8_t bit = 0;
    const int got = first.registers ? modbus_read_registers(c.context, first.address, 1, &value)
                                    : modbus_read_bits(c.context, first.address, 1, &bit);
    if (got < 0 && !IsException(errno)) return failed(c, Said(errno));
    if (got >= 0 && (first.registers ? value : bit) != first.values.front()) c.dirty = true;
    return answered(c);
}

bool DeviceLink::poll(Connection& c) {
    std::vector<bool> levels(inputs_.size(), false);
    std::vector<std::uint8_t> bits;
    for (const InputRead& read : reads_) {
        const bool whole = std::none_of(read.inputs.begin(), read.inputs.end(),
                                        [&](std::size_t i) { return c.refusedInputs.contains(i); });
        bits.assign(static_cast<std::size_t>(read.count), 0);
        if (whole && modbus_read_input_bits(c.context, read.address, read.count, bits.data()) >= 0) {
            for (int k = 0; k < read.count; ++k) levels[read.inputs[k]] = bits[k] != 0;
            continue;
        }
        if (whole && !IsException(errno)) return failed(c, Said(errno));
        for (int k = 0; k < read.count; ++k) {
            const std::size_t input = read.inputs[k];
            if (c.refusedInputs.contains(input)) continue;
            std::uint8_t bit = 0;
            if (modbus_read_input_bits(c.context, read.address + k, 1, &bit) >= 0) {
                levels[input] = bit != 0;
                continue;
            }
            if (!IsException(errno)) return failed(c, Said(errno));
            c.refusedInputs.insert(input);
            report({Report::Kind::Refused, Said(errno), {}, {}, input});
        }
    }
    answered(c);
    if (c.levels != levels) report({Report::Kind::Levels, {}, levels, {}, {}});
    c.levels = std::move(levels);
    return true;
}

}  // namespace sterownik
