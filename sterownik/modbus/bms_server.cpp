#include "bms_server.h"

#include "controller_config.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>

namespace sterownik {
namespace {

using namespace std::chrono_literals;

constexpr std::size_t kClientLimit = 8;
constexpr Duration kIdleLimit = 60s;
// A client is served a request a millisecond at most: far more than a BMS
// polls, and a client that asks without pause leaves the hall's own loop its
// share of the machine.
constexpr Duration kRequestSpacing = 1ms;
// A frame's bytes come together; one that stops halfway holds up the server this long at most.
constexpr int kByteTimeoutMs = 500;
// A client refused, or one too many, is logged at most this often per address.
constexpr Duration kRefusalLogged = 60s;

// An address as inet_ntop writes it, IPv4 for an IPv4-mapped IPv6 one.
std::optional<std::string> Canonical(const sockaddr_storage& address) {
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
        const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
        if (!::inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text)) return std::nullopt;
    } else if (address.ss_family == AF_INET6) {
        const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
        const bool mapped = IN6_IS_ADDR_V4MAPPED(&v6.sin6_addr);
        if (!::inet_ntop(mapped ? AF_INET : AF_INET6, mapped ? &v6.sin6_addr.s6_addr[12] : v6.sin6_addr.s6_addr, text,
                         sizeof text))
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    return std::string(text);
}

std::optional<std::string> CanonicalText(const std::string& text) {
    sockaddr_storage address{};
    auto& v4 = reinterpret_cast<sockaddr_in&>(address);
    auto& v6 = reinterpret_cast<sockaddr_in6&>(address);
    if (::inet_pton(AF_INET, text.c_str(), &v4.sin_addr) == 1)
        address.ss_family = AF_INET;
    else if (::inet_pton(AF_INET6, text.c_str(), &v6.sin6_addr) == 1)
        address.ss_family = AF_INET6;
    else
        return std::nullopt;
    return Canonical(address);
}

}  // namespace

struct BmsServer::Client {
    hall::os::Descriptor socket;
    std::string address;
    TimePoint active;
    TimePoint next{};  // not served again before
};

hall::Result<std::unique_ptr<BmsServer>> BmsServer::Start(const hall::BmsServerConfig& config, int listener) {
    for (const auto& [text, line] : config.clients)
        if (!CanonicalText(text)) return hall::Unexpected(hall::LineError(line, "zły adres klienta"));
    modbus_t* context =
        modbus_new_tcp_pi(config.host.empty() ? nullptr : config.host.c_str(), std::to_string(config.port).c_str());
    if (!context) return hall::Unexpected("serwer Modbus: " + std::string(modbus_strerror(errno)));
    if (listener < 0) listener = modbus_tcp_pi_listen(context, 64);
    if (listener < 0) {
        const std::string reason = modbus_strerror(errno);
        modbus_free(context);
        return hall::Unexpected("serwer Modbus: nie można nasłuchiwać na " + hall::QuotedForLog(config.host) + ":" +
                                std::to_string(config.port) + ": " + reason);
    }
    return std::unique_ptr<BmsServer>(new BmsServer(config, context, listener));
}

BmsServer::BmsServer(const hall::BmsServerConfig& config, modbus_t* context, int listener)
    : readOnly_(config.readOnly),
      context_(context),
      mapping_(modbus_mapping_new(BmsMap::kCoils, BmsMap::kDiscreteInputs, BmsMap::kHoldingRegisters,
                                  BmsMap::kInputRegisters)),
      listener_(listener),
      stop_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
      wake_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
      reports_(wake_.get()) {
    for (const auto& client : config.clients) allowed_.push_back(*CanonicalText(client.first));
    if (allowed_.empty()) allowed_ = {"127.0.0.1", "::1"};
    ::fcntl(listener_.get(), F_SETFL, ::fcntl(listener_.get(), F_GETFL) | O_NONBLOCK);
    modbus_set_byte_timeout(context_, 0, kByteTimeoutMs * 1000);
    modbus_set_indication_timeout(context_, 0, kByteTimeoutMs * 1000);
}

BmsServer::~BmsServer() {
    if (thread_.joinable()) {
        const std::uint64_t one = 1;
        (void)!::write(stop_.get(), &one, sizeof one);
        thread_.join();
    }
    clients_.clear();
    modbus_mapping_free(mapping_);
    modbus_free(context_);
}

// The thread starts with the first view, so that no client reads a hall the
// loop has not read yet: one that connects earlier waits in the listener's queue.
void BmsServer::show(const HallView& view) {
    {
        const std::lock_guard lock(mutex_);
        view_ = view;
    }
    if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
}

std::vector<BmsServer::Report> BmsServer::take() {
    std::uint64_t count = 0;
    (void)!::read(wake_.get(), &count, sizeof count);
    return reports_.take();
}

void BmsServer::report(Report report) { reports_.put(std::move(report)); }

void BmsServer::run() {
    std::vector<pollfd> fds;
    for (;;) {
        const TimePoint before = Clock::now();
        TimePoint wake = before + 1s;
        fds = {{stop_.get(), POLLIN, 0}, {listener_.get(), POLLIN, 0}};
        // A client served a moment ago waits its turn: its socket is not looked at until then.
        for (const Client& client : clients_) {
            fds.push_back({client.next <= before ? client.socket.get() : -1, POLLIN, 0});
            if (client.next > before) wake = std::min(wake, client.next);
        }
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(wake - before).count();
        if (::poll(fds.data(), fds.size(), static_cast<int>(wait)) < 0 && errno != EINTR) return;
        if (fds[0].revents) return;
        const TimePoint now = Clock::now();
        for (std::size_t i = clients_.size(); i-- > 0;) {
            const bool readable = fds[i + 2].revents != 0;
            if ((readable && !serve(clients_[i])) || (!readable && now - clients_[i].active > kIdleLimit))
                clients_.erase(clients_.begin() + static_cast<std::ptrdiff_t>(i));
        }
        if (fds[1].revents & POLLIN) accept();
    }
}

void BmsServer::accept() {
    for (;;) {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        hall::os::Descriptor socket(
            ::accept4(listener_.get(), reinterpret_cast<sockaddr*>(&address), &length, SOCK_CLOEXEC));
        if (!socket.valid()) return;
        const std::string peer = Canonical(address).value_or("?");
        if (clients_.size() >= kClientLimit) dropClosed();
        const bool allowed = std::find(allowed_.begin(), allowed_.end(), peer) != allowed_.end();
        if (allowed && clients_.size() < kClientLimit) {
            // A client that reads no replies holds up the server a second at most.
            const timeval limit{1, 0};
            ::setsockopt(socket.get(), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
            clients_.push_back({std::move(socket), peer, Clock::now(), {}});
            continue;
        }
        const TimePoint now = Clock::now();
        if (refusalsLogged_.size() > 64) refusalsLogged_.clear();
        const auto last = refusalsLogged_.find(peer);
        if (last != refusalsLogged_.end() && now - last->second < kRefusalLogged) continue;
        refusalsLogged_[peer] = now;
        report({std::nullopt, "BMS: " + std::string(allowed ? "za wielu klientów (najwyżej 8)" : "klient spoza listy") +
                                  ", zamknięto połączenie z " + peer});
    }
}

// Clients that have gone but whose end the loop has not read yet take no place.
void BmsServer::dropClosed() {
    std::erase_if(clients_, [](const Client& client) {
        char byte = 0;
        return ::recv(client.socket.get(), &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
    });
}

bool BmsServer::serve(Client& client) {
    modbus_set_socket(context_, client.socket.get());
    std::uint8_t request[MODBUS_TCP_MAX_ADU_LENGTH];
    const int length = modbus_receive(context_, request);
    if (length <= 0) return false;
    client.active = Clock::now();
    client.next = client.active + kRequestSpacing;
    const int header = modbus_get_header_length(context_);
    // libmodbus does not look at a request's protocol identifier: a frame that
    // is not Modbus's (other than 0) is dropped with its client, unanswered.
    if (request[2] != 0 || request[3] != 0) return false;
    const std::uint8_t* pdu = request + header;
    const int pduLength = length - header;
    HallView view;
    {
        const std::lock_guard lock(mutex_);
        view = view_;
    }
    if (const int refusal = BmsMap::Refusal(pdu, pduLength, readOnly_))
        return modbus_reply_exception(context_, request, static_cast<unsigned>(refusal)) >= 0;
    map_.fill(*mapping_, view);
    if (modbus_reply(context_, request, length, mapping_) < 0) return false;
    if (std::optional<Event> event = map_.written(pdu, pduLength, *mapping_, view)) report({std::move(event), {}});
    return true;
}

}  // namespace sterownik
