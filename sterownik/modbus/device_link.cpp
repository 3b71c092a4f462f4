#include "device_link.h"

#include "detached.h"
#include "lamp_watch.h"

#include <modbus/modbus.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <mutex>
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
constexpr Duration kWatchInterval = 1s;

// The device answered, with an exception: the request, not the link, is at fault.
bool IsException(int error) { return error >= EMBXILFUN && error <= EMBXGTAR; }

hall::Unexpected<std::string> Said(int error) { return hall::Unexpected(std::string(modbus_strerror(error))); }

}  // namespace

// Everything the worker thread touches: shared with the link, and kept
// alive by the thread until it ends.
struct DeviceLink::Worker {
    const hall::ModbusDevice device;
    const std::vector<hall::ModbusInput> inputs;
    const std::vector<InputRead> reads;
    const std::vector<hall::ModbusLampWatch> watches;
    loop::Handover<Report> reports;

    std::mutex mutex;
    std::condition_variable changed;
    bool stop = false;
    std::optional<std::vector<OutputWrite>> pending;  // given, not yet written
    int socket = -1;                                  // the connection's, shut by a stop

    // The worker's own.
    modbus_t* context = nullptr;
    bool up = false;
    bool online = false;    // as last reported
    bool reported = false;  // reported at all
    bool dirty = false;     // the outputs not yet written on this connection
    std::vector<OutputWrite> outputs;
    std::optional<std::vector<bool>> levels;  // as last reported on this connection
    std::set<std::size_t> refusedOutputs, refusedInputs, refusedWatches;
    Duration backoff = kFirstRetry;
    TimePoint retryAt{}, nextPoll{}, nextWatch{};

    Worker(hall::ModbusDevice d, std::vector<hall::ModbusInput> i, std::vector<hall::ModbusLampWatch> w)
        : device(std::move(d)), inputs(std::move(i)), reads(InputReads(inputs)), watches(std::move(w)) {}
    ~Worker() {
        if (context) modbus_free(context);
    }

    void report(Report report) { reports.put(std::move(report)); }
    void run();
    bool stopping();
    hall::Status connect();
    void disconnect();
    hall::Status writeAll();
    hall::Status poll();
    hall::Status checkOutputs();
    hall::Status readWatches();
    TimePoint nextRequest() const { return watches.empty() ? nextPoll : std::min(nextPoll, nextWatch); }
    hall::Status failed(const hall::Unexpected<std::string>& reason);
    void answered();
    // -1 and errno as libmodbus gives them.
    int send(bool registers, int address, const std::vector<std::uint16_t>& values) const {
        if (registers) return modbus_write_registers(context, address, static_cast<int>(values.size()), values.data());
        const std::vector<std::uint8_t> bits(values.begin(), values.end());
        return modbus_write_bits(context, address, static_cast<int>(bits.size()), bits.data());
    }
    // Into `values`, one a register or an input; -1 and errno as libmodbus gives them.
    int readWatch(const hall::ModbusLampWatch& watch, std::vector<std::uint16_t>& values) const {
        const int count = hall::WatchSpan(watch);
        values.assign(static_cast<std::size_t>(count), 0);
        if (!watch.readBack)
            return (watch.inputRegisters ? modbus_read_input_registers : modbus_read_registers)(context, watch.address,
                                                                                                count, values.data());
        std::vector<std::uint8_t> bits(values.size(), 0);
        const int got = modbus_read_input_bits(context, watch.address, count, bits.data());
        std::copy(bits.begin(), bits.end(), values.begin());
        return got;
    }
};

hall::Result<std::unique_ptr<DeviceLink>> DeviceLink::Start(hall::ModbusDevice device,
                                                            std::vector<hall::ModbusInput> inputs,
                                                            std::vector<hall::ModbusLampWatch> watches) {
    auto worker = std::make_shared<Worker>(std::move(device), std::move(inputs), std::move(watches));
    if (worker->reports.descriptor() < 0)
        return hall::Unexpected("nie można utworzyć kolejki zdarzeń: " + worker->reports.error().message());
    const hall::ModbusDevice& d = worker->device;
    worker->context = modbus_new_tcp_pi(d.host.c_str(), std::to_string(d.port).c_str());
    if (!worker->context) return Said(errno);
    const auto limit = std::chrono::milliseconds(d.timeoutMs);
    if (modbus_set_slave(worker->context, d.unit) != 0 ||
        modbus_set_response_timeout(worker->context, static_cast<std::uint32_t>(limit.count() / 1000),
                                    static_cast<std::uint32_t>(limit.count() % 1000 * 1000)) != 0)
        return Said(errno);
    const hall::Status started =
        loop::StartDetached([worker] { worker->run(); },
                            [worker](const std::string& why) {
                                if (!worker->stopping()) worker->report({.kind = Report::Kind::Ended, .reason = why});
                            });
    if (!started) return hall::Unexpected(started.error());
    return std::unique_ptr<DeviceLink>(new DeviceLink(std::move(worker)));
}

DeviceLink::~DeviceLink() {
    {
        const std::lock_guard lock(worker_->mutex);
        worker_->stop = true;
        // A request waiting for its reply ends at once, not after the device's limit.
        if (worker_->socket >= 0) ::shutdown(worker_->socket, SHUT_RDWR);
    }
    worker_->changed.notify_one();
}

int DeviceLink::descriptor() const { return worker_->reports.descriptor(); }

void DeviceLink::write(std::vector<OutputWrite> writes) {
    {
        const std::lock_guard lock(worker_->mutex);
        worker_->pending = std::move(writes);
    }
    worker_->changed.notify_one();
}

std::vector<DeviceLink::Report> DeviceLink::take() { return worker_->reports.take(); }

bool DeviceLink::Worker::stopping() {
    const std::lock_guard lock(mutex);
    return stop;
}

void DeviceLink::Worker::run() {
    for (;;) {
        {
            std::unique_lock lock(mutex);
            changed.wait_until(lock, up ? nextRequest() : retryAt, [&] { return stop || pending; });
            if (stop) break;
            if (pending) outputs = std::move(*std::exchange(pending, std::nullopt)), dirty = true;
        }
        const TimePoint now = Clock::now();
        if (!up && (now < retryAt || !connect())) continue;
        // A change goes out ahead of the next poll.
        if (dirty && !writeAll()) continue;
        const Duration interval = reads.empty() ? kOutputCheck : std::chrono::milliseconds(device.pollMs);
        if (now >= nextPoll && (reads.empty() ? checkOutputs() : poll())) nextPoll = std::max(nextPoll + interval, now);
        if (up && !watches.empty() && now >= nextWatch && readWatches())
            nextWatch = std::max(nextWatch + kWatchInterval, now);
    }
    disconnect();
}

hall::Status DeviceLink::Worker::connect() {
    if (modbus_connect(context) != 0) return failed(Said(errno));
    {
        const std::lock_guard lock(mutex);
        socket = modbus_get_socket(context);
        // A stop that came during the connect found no socket to shut.
        if (stop) ::shutdown(socket, SHUT_RDWR);
    }
    up = dirty = true;
    levels.reset();
    nextPoll = nextWatch = Clock::now();
    return {};
}

// Under the lock, so that a stop never shuts a descriptor the system has
// meanwhile given to something else.
void DeviceLink::Worker::disconnect() {
    const std::lock_guard lock(mutex);
    socket = -1;
    modbus_close(context);
    up = false;
}

// A device is there once it answers, not when it takes a connection: a module
// that hangs may still take them.
void DeviceLink::Worker::answered() {
    backoff = kFirstRetry;
    if (!online) report({.kind = Report::Kind::Online});
    online = reported = true;
}

// Logged once when it goes away, however often it is tried.
hall::Status DeviceLink::Worker::failed(const hall::Unexpected<std::string>& reason) {
    disconnect();
    if (online || !reported) report({.kind = Report::Kind::Offline, .reason = reason.error()});
    online = false;
    reported = true;
    retryAt = Clock::now() + backoff;
    backoff = std::min(backoff * 2, kLongestRetry);
    return reason;
}

// A run the device refuses is tried line by line, so that only the line it
// refuses is left out.
hall::Status DeviceLink::Worker::writeAll() {
    for (const OutputWrite& write : outputs) {
        const bool whole = std::none_of(write.slices.begin(), write.slices.end(),
                                        [&](const auto& s) { return refusedOutputs.contains(s.output); });
        if (whole && send(write.registers, write.address, write.values) >= 0) continue;
        if (whole && !IsException(errno)) return failed(Said(errno));
        for (const OutputWrite::Slice& slice : write.slices) {
            if (refusedOutputs.contains(slice.output) || send(write.registers, slice.address, slice.values) >= 0)
                continue;
            if (!IsException(errno)) return failed(Said(errno));
            refusedOutputs.insert(slice.output);
            report({.kind = Report::Kind::Refused, .reason = Said(errno).error(), .output = slice.output});
        }
    }
    dirty = false;
    answered();
    return {};
}

hall::Status DeviceLink::Worker::checkOutputs() {
    if (outputs.empty()) return {};
    const OutputWrite& first = outputs.front();
    std::uint16_t value = 0;
    std::uint8_t bit = 0;
    const int got = first.registers ? modbus_read_registers(context, first.address, 1, &value)
                                    : modbus_read_bits(context, first.address, 1, &bit);
    if (got < 0 && !IsException(errno)) return failed(Said(errno));
    if (got >= 0 && (first.registers ? value : bit) != first.values.front()) dirty = true;
    answered();
    return {};
}

hall::Status DeviceLink::Worker::poll() {
    std::vector<bool> now(inputs.size(), false);
    std::vector<std::uint8_t> bits;
    for (const InputRead& read : reads) {
        const bool whole = std::none_of(read.inputs.begin(), read.inputs.end(),
                                        [&](std::size_t i) { return refusedInputs.contains(i); });
        bits.assign(static_cast<std::size_t>(read.count), 0);
        if (whole && modbus_read_input_bits(context, read.address, read.count, bits.data()) >= 0) {
            for (int k = 0; k < read.count; ++k) now[read.inputs[k]] = bits[k] != 0;
            continue;
        }
        if (whole && !IsException(errno)) return failed(Said(errno));
        for (int k = 0; k < read.count; ++k) {
            const std::size_t input = read.inputs[k];
            if (refusedInputs.contains(input)) continue;
            std::uint8_t bit = 0;
            if (modbus_read_input_bits(context, read.address + k, 1, &bit) >= 0) {
                now[input] = bit != 0;
                continue;
            }
            if (!IsException(errno)) return failed(Said(errno));
            refusedInputs.insert(input);
            report({.kind = Report::Kind::Refused, .reason = Said(errno).error(), .input = input});
        }
    }
    answered();
    if (levels != now) report({.kind = Report::Kind::Levels, .levels = now});
    levels = std::move(now);
    return {};
}

// A watch the device refuses is left out; the others are still read.
hall::Status DeviceLink::Worker::readWatches() {
    Report lamps{.kind = Report::Kind::Lamps};
    std::vector<std::uint16_t> values;
    for (std::size_t i = 0; i < watches.size(); ++i) {
        if (refusedWatches.contains(i)) continue;
        if (readWatch(watches[i], values) >= 0) {
            const std::vector<LampSignal> read = WatchSignals(watches[i], values);
            lamps.lamps.insert(lamps.lamps.end(), read.begin(), read.end());
            continue;
        }
        if (!IsException(errno)) return failed(Said(errno));
        refusedWatches.insert(i);
        report({.kind = Report::Kind::Refused, .reason = Said(errno).error(), .watch = i});
    }
    answered();
    if (!lamps.lamps.empty()) report(std::move(lamps));
    return {};
}

}  // namespace sterownik
