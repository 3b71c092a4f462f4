#pragma once

#include "latency.h"
#include "posix_file.h"
#include "result.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

struct _modbus;
struct _modbus_mapping_t;

namespace bench {

// A Modbus TCP module of the benchmark's own: libmodbus's server in a thread,
// on 127.0.0.1 and a port the kernel picks, with 200 coils, discrete inputs
// and registers from address 0. Each request is stamped as it arrives, so that
// a write is timed where the module takes it, not where it is sent.
class ModbusServer {
public:
    ModbusServer();
    ~ModbusServer();
    ModbusServer(const ModbusServer&) = delete;
    ModbusServer& operator=(const ModbusServer&) = delete;

    // Listening and served; fails with the reason.
    hall::Status start();
    int port() const { return port_; }

    // When the input took the level.
    TimePoint setInput(int address, bool level);
    bool coil(int address);
    // Requests are taken and never answered, as by a module that hangs.
    void freeze(bool frozen);

    // Requests taken so far: writes of coils or registers, reads of any kind,
    // and those taken while frozen.
    std::size_t writes();
    std::size_t reads();
    std::size_t unanswered();

    // From now on, waits for the first write after which coils 0 … n-1 are `coils`.
    void expect(std::vector<bool> coils);
    // When that write arrived, once it has; nothing if it has not by `until`.
    std::optional<TimePoint> waitExpected(TimePoint until);

private:
    void serve();
    // False when the client is gone.
    bool answer(int client);
    void take(const std::uint8_t* query, int length, TimePoint arrived);
    bool asExpected() const;

    int port_ = 0;
    std::optional<hall::os::Descriptor> listener_;
    hall::os::Descriptor stop_;  // the thread's end, as an eventfd
    _modbus* context_ = nullptr;
    _modbus_mapping_t* mapping_ = nullptr;

    std::mutex mutex_;  // everything below
    std::condition_variable arrived_;
    bool frozen_ = false;
    std::size_t writes_ = 0, reads_ = 0, unanswered_ = 0;
    std::optional<std::vector<bool>> expected_;
    std::optional<TimePoint> expectedAt_;
    std::thread thread_;
};

}  // namespace bench
