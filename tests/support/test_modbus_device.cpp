#include "test_modbus_device.h"

#include <QTcpServer>

#include <modbus/modbus.h>
#include <sys/select.h>
#include <unistd.h>

#include <vector>

namespace {

constexpr int kSize = 200;

}  // namespace

TestModbusDevice::TestModbusDevice() = default;

TestModbusDevice::~TestModbusDevice() { stop(); }

bool TestModbusDevice::start() {
    if (port_ == 0) {
        QTcpServer server;
        if (!server.listen(QHostAddress::LocalHost, 0)) return false;
        port_ = server.serverPort();
    }
    context_ = modbus_new_tcp("127.0.0.1", port_);
    mapping_ = modbus_mapping_new(kSize, kSize, kSize, kSize);
    if (!context_ || !mapping_) return false;
    const int listener = modbus_tcp_listen(context_, 8);
    if (listener < 0) return false;
    running_ = true;
    thread_ = std::thread([this, listener] { serve(listener); });
    return true;
}

void TestModbusDevice::stop() {
    if (!thread_.joinable()) return;
    running_ = false;
    thread_.join();
    modbus_mapping_free(mapping_);
    modbus_free(context_);
    mapping_ = nullptr;
    context_ = nullptr;
}

void TestModbusDevice::setInput(int address, bool level) {
    const std::lock_guard lock(mutex_);
    mapping_->tab_input_bits[address] = level;
}

void TestModbusDevice::setHolding(int address, std::uint16_t value) {
    const std::lock_guard lock(mutex_);
    mapping_->tab_registers[address] = value;
}

void TestModbusDevice::setInputRegister(int address, std::uint16_t value) {
    const std::lock_guard lock(mutex_);
    mapping_->tab_input_registers[address] = value;
}

bool TestModbusDevice::coil(int address) {
    const std::lock_guard lock(mutex_);
    return mapping_->tab_bits[address] != 0;
}

std::uint16_t TestModbusDevice::holding(int address) {
    const std::lock_guard lock(mutex_);
    return mapping_->tab_registers[address];
}

// Every client in turn, woken by select with a short timeout to see the stop.
void TestModbusDevice::serve(int listener) {
    std::vector<int> clients;
    std::uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
    while (running_) {
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(listener, &ready);
        int highest = listener;
        for (const int client : clients) FD_SET(client, &ready), highest = std::max(highest, client);
        timeval timeout{0, 20'000};
        if (::select(highest + 1, &ready, nullptr, nullptr, &timeout) <= 0) continue;
        if (FD_ISSET(listener, &ready)) {
            int socket = listener;
            if (const int client = modbus_tcp_accept(context_, &socket); client >= 0) clients.push_back(client);
        }
        for (auto client = clients.begin(); client != clients.end();) {
            if (!FD_ISSET(*client, &ready)) {
                ++client;
                continue;
            }
            modbus_set_socket(context_, *client);
            const int length = modbus_receive(context_, query);
            if (length < 0) {
                ::close(*client);
                client = clients.erase(client);
                continue;
            }
            if (length > 0 && !frozen_) {
                const std::lock_guard lock(mutex_);
                modbus_reply(context_, query, length, mapping_);
            }
            ++client;
        }
    }
    for (const int client : clients) ::close(client);
    ::close(listener);
}
