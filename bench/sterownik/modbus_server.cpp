#include "modbus_server.h"

#include <arpa/inet.h>
#include <modbus/modbus.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string>

namespace bench {
namespace {

constexpr int kSize = 200;
constexpr int kBacklog = 8;

bool IsWrite(int function) {
    return function == MODBUS_FC_WRITE_SINGLE_COIL || function == MODBUS_FC_WRITE_MULTIPLE_COILS ||
           function == MODBUS_FC_WRITE_SINGLE_REGISTER || function == MODBUS_FC_WRITE_MULTIPLE_REGISTERS ||
           function == MODBUS_FC_WRITE_AND_READ_REGISTERS;
}

std::string Failed(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// Bound by the benchmark itself, so that no other program can take the port
// between its choice and the listening.
hall::Result<int> ListenOnFreePort(int& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return hall::Unexpected(Failed("nie można utworzyć gniazda modułu Modbus"));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, kBacklog) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        const std::string reason = Failed("moduł Modbus nie może nasłuchiwać na 127.0.0.1");
        ::close(fd);
        return hall::Unexpected(reason);
    }
    port = ntohs(address.sin_port);
    return fd;
}

}  // namespace

ModbusServer::ModbusServer() : stop_(::eventfd(0, EFD_CLOEXEC)) {}

ModbusServer::~ModbusServer() {
    if (thread_.joinable()) {
        const std::uint64_t one = 1;
        (void)!::write(stop_.get(), &one, sizeof one);
        thread_.join();
    }
    if (mapping_) modbus_mapping_free(mapping_);
    if (context_) modbus_free(context_);
}

hall::Status ModbusServer::start() {
    const hall::Result<int> listener = ListenOnFreePort(port_);
    if (!listener) return hall::Unexpected(listener.error());
    listener_.emplace(*listener);
    context_ = modbus_new_tcp("127.0.0.1", port_);
    mapping_ = modbus_mapping_new(kSize, kSize, kSize, kSize);
    if (!stop_.valid() || !context_ || !mapping_) return hall::Unexpected(Failed("nie można utworzyć modułu Modbus"));
    thread_ = std::thread([this] { serve(); });
    return {};
}

TimePoint ModbusServer::setInput(int address, bool level) {
    const std::lock_guard lock(mutex_);
    mapping_->tab_input_bits[address] = level;
    return Clock::now();
}

bool ModbusServer::coil(int address) {
    const std::lock_guard lock(mutex_);
    return mapping_->tab_bits[address] != 0;
}

void ModbusServer::freeze(bool frozen) {
    const std::lock_guard lock(mutex_);
    frozen_ = frozen;
}

std::size_t ModbusServer::writes() {
    const std::lock_guard lock(mutex_);
    return writes_;
}

std::size_t ModbusServer::reads() {
    const std::lock_guard lock(mutex_);
    return reads_;
}

std::size_t ModbusServer::unanswered() {
    const std::lock_guard lock(mutex_);
    return unanswered_;
}

void ModbusServer::expect(std::vector<bool> coils) {
    const std::lock_guard lock(mutex_);
    expected_ = std::move(coils);
    expectedAt_.reset();
}

std::optional<TimePoint> ModbusServer::waitExpected(TimePoint until) {
    std::unique_lock lock(mutex_);
    arrived_.wait_until(lock, until, [&] { return expectedAt_.has_value(); });
    return expectedAt_;
}

// Woken only by a request, a connection or the stop, so that it adds no wake-ups of its own to the machine's.
void ModbusServer::serve() {
    std::vector<int> clients;
    std::vector<pollfd> fds;
    for (;;) {
        fds = {{stop_.get(), POLLIN, 0}, {listener_->get(), POLLIN, 0}};
        for (const int client : clients) fds.push_back({client, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) break;
        if (fds[0].revents) break;
        // Not modbus_tcp_accept, which closes the listener when an accept fails.
        const int client = fds[1].revents & POLLIN ? ::accept4(listener_->get(), nullptr, nullptr, SOCK_CLOEXEC) : -1;
        if (client >= 0) clients.push_back(client);
        for (std::size_t i = 2; i < fds.size(); ++i) {
            if (!fds[i].revents || answer(fds[i].fd)) continue;
            ::close(fds[i].fd);
            clients.erase(std::find(clients.begin(), clients.end(), fds[i].fd));
        }
    }
    for (const int client : clients) ::close(client);
}

bool ModbusServer::answer(int client) {
    std::uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
    modbus_set_socket(context_, client);
    const int length = modbus_receive(context_, query);
    const TimePoint arrived = Clock::now();
    if (length < 0) return false;
    if (length > 0) take(query, length, arrived);
    return true;
}

void ModbusServer::take(const std::uint8_t* query, int length, TimePoint arrived) {
    const int function = query[modbus_get_header_length(context_)];
    const std::lock_guard lock(mutex_);
    ++(IsWrite(function) ? writes_ : reads_);
    if (frozen_) {
        ++unanswered_;
        return;
    }
    modbus_reply(context_, query, length, mapping_);
    if (!IsWrite(function) || !expected_ || !asExpected()) return;
    expected_.reset();
    expectedAt_ = arrived;
    arrived_.notify_all();
}

bool ModbusServer::asExpected() const {
    for (std::size_t i = 0; i < expected_->size(); ++i)
        if ((mapping_->tab_bits[i] != 0) != (*expected_)[i]) return false;
    return true;
}

}  // namespace bench
