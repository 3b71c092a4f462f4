#include "bms_server.h"

#include "config_line.h"
#include "detached.h"
#include "handover.h"
#include "posix_file.h"

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
#include <mutex>
#include <vector>

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
constexpr Duration kFirstRestart = 1s;
constexpr Duration kLongestRestart = 60s;

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

struct Client {
    hall::os::Descriptor socket;
    std::string address;
    TimePoint active;
    TimePoint next{};  // not served again before
};

}  // namespace

// Everything the server's thread touches: shared with the part, and kept
// alive by the thread until it ends.
struct BmsServer::Server {
    struct Report {
        std::optional<Event> event;  // a switch; else a line to log
        std::string line;
        bool ended = false;  // the thread ended unexpectedly; `line` says why
    };

    bool readOnly = false;
    std::vector<std::string> allowed;  // addresses as inet_ntop gives them
    modbus_t* context = nullptr;
    modbus_mapping_t* mapping = nullptr;
    hall::os::Descriptor listener{-1};
    hall::os::Descriptor stop{::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)};
    loop::Handover<Report> reports;

    std::mutex mutex;  // the view
    HallView view;

    // The thread's own.
    BmsMap map;
    std::map<std::string, TimePoint> refusalsLogged;
    std::vector<Client> clients;

    ~Server() {
        clients.clear();
        if (mapping) modbus_mapping_free(mapping);
        if (context) modbus_free(context);
    }
    void report(Report r) { reports.put(std::move(r)); }
    // Returns when told to stop (nothing), or why it could not go on.
    std::optional<std::string> run();
    void accept();
    void dropClosed();
    hall::Status serve(Client& client);
};

hall::Result<std::unique_ptr<BmsServer>> BmsServer::Start(const hall::BmsServerConfig& config,
                                                          std::optional<int> handed, loop::Reactor& reactor, View view,
                                                          Command command, std::ostream& log) {
    auto server = std::make_shared<Server>();
    for (const auto& [text, line] : config.clients) {
        const std::optional<std::string> address = CanonicalText(text);
        if (!address) return hall::Unexpected(hall::LineError(line, "zły adres klienta"));
        server->allowed.push_back(*address);
    }
    if (server->allowed.empty()) server->allowed = {"127.0.0.1", "::1"};
    server->readOnly = config.readOnly;
    const auto failed = [](const std::string& what) {
        return hall::Unexpected("serwer Modbus: " + what + ": " + std::string(modbus_strerror(errno)));
    };
    if (!server->stop.valid() || server->reports.descriptor() < 0) return failed("nie można utworzyć kolejki zdarzeń");
    server->mapping =
        modbus_mapping_new(BmsMap::kCoils, BmsMap::kDiscreteInputs, BmsMap::kHoldingRegisters, BmsMap::kInputRegisters);
    if (!server->mapping) return failed("brak pamięci na rejestry");
    server->context =
        modbus_new_tcp_pi(config.host.empty() ? nullptr : config.host.c_str(), std::to_string(config.port).c_str());
    if (!server->context) return failed("zły adres");
    server->listener = hall::os::Descriptor(handed ? *handed : modbus_tcp_pi_listen(server->context, 64));
    if (!server->listener.valid())
        return failed("nie można nasłuchiwać na " + hall::QuotedForLog(config.host) + ":" +
                      std::to_string(config.port));
    const int flags = ::fcntl(server->listener.get(), F_GETFL);
    if (flags < 0 || ::fcntl(server->listener.get(), F_SETFL, flags | O_NONBLOCK) != 0)
        return failed("nie można ustawić gniazda");
    if (modbus_set_byte_timeout(server->context, 0, kByteTimeoutMs * 1000) != 0 ||
        modbus_set_indication_timeout(server->context, 0, kByteTimeoutMs * 1000) != 0)
        return failed("złe limity czasu");
    return std::unique_ptr<BmsServer>(
        new BmsServer(std::move(server), reactor, std::move(view), std::move(command), log));
}

BmsServer::BmsServer(std::shared_ptr<Server> server, loop::Reactor& reactor, View view, Command command,
                     std::ostream& log)
    : server_(std::move(server)),
      registrations_(reactor),
      view_(std::move(view)),
      command_(std::move(command)),
      log_(log),
      restart_(kFirstRestart) {
    registrations_.prepare([this](TimePoint) { return show(); });
    registrations_.watch(server_->reports.descriptor(), POLLIN, [this](short) { readable(); });
}

// Tells the thread to stop and leaves it to finish on its own.
BmsServer::~BmsServer() {
    const std::uint64_t one = 1;
    (void)!::write(server_->stop.get(), &one, sizeof one);
}

// The thread starts with the first view, so that no client reads a hall the
// loop has not read yet: one that connects earlier waits in the listener's queue.
std::optional<TimePoint> BmsServer::show() {
    {
        const std::lock_guard lock(server_->mutex);
        server_->view = view_();
    }
    if (!running_) run();
    return std::nullopt;
}

void BmsServer::run() {
    running_ = true;
    const std::shared_ptr<Server> server = server_;
    const hall::Status started = loop::StartDetached(
        [server] {
            if (const std::optional<std::string> why = server->run()) server->report({{}, *why, true});
        },
        [server](const std::string& why) {
            if (!why.empty()) server->report({{}, why, true});
        });
    if (!started) server_->report({{}, started.error(), true});
}

void BmsServer::readable() {
    for (const Server::Report& report : server_->reports.take()) {
        if (report.event) {
            command_(*report.event);
        } else if (!report.ended) {
            log_ << report.line << std::endl;
        } else {
            log_ << "BMS: wątek serwera zakończył się nieoczekiwanie (" << report.line
                 << "), uruchamiam go ponownie za "
                 << std::chrono::duration_cast<std::chrono::seconds>(restart_).count() << " s" << std::endl;
            registrations_.after(Clock::now() + restart_, [this] { running_ = false; });
            restart_ = std::min(restart_ * 2, kLongestRestart);
        }
    }
}

std::optional<std::string> BmsServer::Server::run() {
    clients.clear();
    std::vector<pollfd> fds;
    for (;;) {
        const TimePoint before = Clock::now();
        TimePoint wake = before + 1s;
        fds = {{stop.get(), POLLIN, 0}, {listener.get(), POLLIN, 0}};
        // A client served a moment ago waits its turn: its socket is not looked at until then.
        for (const Client& client : clients) {
            fds.push_back({client.next <= before ? client.socket.get() : -1, POLLIN, 0});
            if (client.next > before) wake = std::min(wake, client.next);
        }
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(wake - before).count();
        if (::poll(fds.data(), fds.size(), static_cast<int>(wait)) < 0 && errno != EINTR) return std::strerror(errno);
        if (fds[0].revents) return std::nullopt;
        const TimePoint now = Clock::now();
        for (std::size_t i = clients.size(); i-- > 0;) {
            const bool readable = fds[i + 2].revents != 0;
            if ((readable && !serve(clients[i])) || (!readable && now - clients[i].active > kIdleLimit))
                clients.erase(clients.begin() + static_cast<std::ptrdiff_t>(i));
        }
        if (fds[1].revents & POLLIN) accept();
    }
}

void BmsServer::Server::accept() {
    for (;;) {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        hall::os::Descriptor socket(
            ::accept4(listener.get(), reinterpret_cast<sockaddr*>(&address), &length, SOCK_CLOEXEC));
        if (!socket.valid()) return;
        const std::string peer = Canonical(address).value_or("?");
        if (clients.size() >= kClientLimit) dropClosed();
        const bool allowedPeer = std::find(allowed.begin(), allowed.end(), peer) != allowed.end();
        // A client that reads no replies holds up the server a second at most.
        const timeval limit{1, 0};
        if (allowedPeer && clients.size() < kClientLimit &&
            ::setsockopt(socket.get(), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit) == 0) {
            clients.push_back({std::move(socket), peer, Clock::now(), {}});
            continue;
        }
        const TimePoint now = Clock::now();
        if (refusalsLogged.size() > 64) refusalsLogged.clear();
        const auto last = refusalsLogged.find(peer);
        if (last != refusalsLogged.end() && now - last->second < kRefusalLogged) continue;
        refusalsLogged[peer] = now;
        report({std::nullopt,
                "BMS: " + std::string(allowedPeer ? "za wielu klientów (najwyżej 8)" : "klient spoza listy") +
                    ", zamknięto połączenie z " + peer});
    }
}

// Clients that have gone but whose end the loop has not read yet take no place.
void BmsServer::Server::dropClosed() {
    std::erase_if(clients, [](const Client& client) {
        char byte = 0;
        return ::recv(client.socket.get(), &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0;
    });
}

// Fails when the client is to be closed.
hall::Status BmsServer::Server::serve(Client& client) {
    if (modbus_set_socket(context, client.socket.get()) != 0)
        return hall::Unexpected(std::string(modbus_strerror(errno)));
    std::uint8_t request[MODBUS_TCP_MAX_ADU_LENGTH];
    const int length = modbus_receive(context, request);
    if (length <= 0) return hall::Unexpected("brak zapytania");
    client.active = Clock::now();
    client.next = client.active + kRequestSpacing;
    const int header = modbus_get_header_length(context);
    // libmodbus does not look at a request's protocol identifier: a frame that
    // is not Modbus's (other than 0) is dropped with its client, unanswered.
    if (request[2] != 0 || request[3] != 0) return hall::Unexpected("to nie Modbus");
    const std::uint8_t* pdu = request + header;
    const int pduLength = length - header;
    HallView shown;
    {
        const std::lock_guard lock(mutex);
        shown = view;
    }
    const auto answered = [](int sent) -> hall::Status {
        if (sent < 0) return hall::Unexpected(std::string(modbus_strerror(errno)));
        return {};
    };
    if (const int refusal = BmsMap::Refusal(pdu, pduLength, readOnly))
        return answered(modbus_reply_exception(context, request, static_cast<unsigned>(refusal)));
    map.fill(*mapping, shown);
    if (hall::Status sent = answered(modbus_reply(context, request, length, mapping)); !sent) return sent;
    if (std::optional<Event> event = map.written(pdu, pduLength, *mapping, shown)) report({std::move(event), {}});
    return {};
}

}  // namespace sterownik
