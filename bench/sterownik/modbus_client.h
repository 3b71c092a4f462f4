#pragma once

#include <modbus/modbus.h>

#include <memory>

namespace bench {

// A libmodbus client of the benchmark's own, closed and freed with its owner.
struct ModbusClientEnd {
    void operator()(modbus_t* client) const {
        modbus_close(client);
        modbus_free(client);
    }
};
using ModbusClient = std::unique_ptr<modbus_t, ModbusClientEnd>;

}  // namespace bench
