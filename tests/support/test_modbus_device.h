#pragma once

#include <QtGlobal>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

struct _modbus;
struct _modbus_mapping_t;

// A Modbus TCP relay and I/O module for the tests: libmodbus's own server, in
// a thread, on 127.0.0.1 and a free port, with 200 coils, discrete inputs and
// holding registers from address 0.
class TestModbusDevice {
public:
    TestModbusDevice();
    ~TestModbusDevice();
    // The port is picked the first time and kept; a start after a stop begins
    // with every coil and register at 0, as a module that lost its power.
    bool start();
    void stop();
    quint16 port() const { return port_; }

    void setInput(int address, bool level);
    void setHolding(int address, std::uint16_t value);
    void setInputRegister(int address, std::uint16_t value);
    bool coil(int address);
    std::uint16_t holding(int address);
    // Requests are taken and never answered, as from a module that hangs.
    void freeze(bool frozen) { frozen_ = frozen; }

private:
    void serve(int listener);

    quint16 port_ = 0;
    _modbus* context_ = nullptr;
    _modbus_mapping_t* mapping_ = nullptr;
    std::mutex mutex_;  // the mapping
    std::atomic<bool> running_ = false;
    std::atomic<bool> frozen_ = false;
    std::thread thread_;
};
