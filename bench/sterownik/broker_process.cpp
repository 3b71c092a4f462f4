#include "broker_process.h"

#include "line_file.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <fstream>
#include <iostream>
#include <sstream>

namespace bench {
namespace {

constexpr auto kStartTime = std::chrono::seconds(5);
// The line mosquitto prints once it listens.
constexpr std::string_view kRunning = "running";

// The package's settings for a hall's broker, from the file it ships.
hall::Result<std::string> HallSettings() {
    std::ifstream file(HALL_BROKER_SETTINGS);
    std::ostringstream text;
    if (!(text << file.rdbuf())) return hall::Unexpected(std::string("nie można odczytać " HALL_BROKER_SETTINGS));
    return text.str() + "\n";
}

hall::Result<std::string> Config(int port, BrokerLimits limits) {
    hall::Result<std::string> settings = limits == BrokerLimits::Default
                                             // Debian's own, written out.
                                             ? std::string("max_queued_messages 1000\nmax_inflight_messages 20\n")
                                             : HallSettings();
    if (!settings) return settings;
    // One subscriber hears every hall: its acknowledgements, 20 at a time by
    // default, must not be what the halls' lamps wait for.
    if (limits == BrokerLimits::Raised) *settings += "max_inflight_messages 1000\n";
    return "listener " + std::to_string(port) +
           " 127.0.0.1\n"
           "allow_anonymous true\n"
           "persistence false\n"
           "log_dest stderr\n"
           "log_type error\n"
           "log_type warning\n"
           "log_type information\n" +
           *settings;
}

}  // namespace

int FreePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    if (fd >= 0) ::close(fd);
    return port;
}

hall::Status BrokerProcess::start(const std::filesystem::path& directory, BrokerLimits limits) {
    std::error_code ec;
    std::filesystem::create_directories(directory, ec);
    if (ec) return hall::Unexpected("nie można utworzyć katalogu " + directory.string() + ": " + ec.message());
    port_ = FreePort();
    if (port_ == 0) return hall::Unexpected("nie można przygotować brokera: brak wolnego portu");
    const std::filesystem::path config = directory / "mosquitto.conf";
    const hall::Result<std::string> text = Config(port_, limits);
    if (!text) return hall::Unexpected("nie można przygotować brokera: " + text.error());
    if (const hall::Status written = hall::WriteFileAtomically(config, *text); !written)
        return hall::Unexpected("nie można przygotować brokera: " + written.error());
    // As on a site, where the broker is a service of its own and the controllers
    // share their template's slice: the scheduler weighs the broker against all
    // controllers together, not against each of the hundred it serves.
    hall::Result<std::unique_ptr<ChildProcess>> process = ChildProcess::Start(
        SpawnRequest{{"/usr/sbin/mosquitto", "-c", config.string()}, directory, {}, true, {}, true});
    if (!process) return hall::Unexpected(process.error());
    process_ = std::move(*process);
    return awaitRunning();
}

hall::Status BrokerProcess::awaitRunning() {
    std::string seen;
    const TimePoint end = Clock::now() + kStartTime;
    std::array<char, 4096> buffer;
    while (seen.find(kRunning) == std::string::npos) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
        pollfd fd{log(), POLLIN, 0};
        const ssize_t got =
            left > 0 && ::poll(&fd, 1, static_cast<int>(left)) > 0 ? ::read(log(), buffer.data(), buffer.size()) : 0;
        if (got <= 0) return hall::Unexpected("mosquitto nie wystartował w ciągu 5 s: " + seen);
        seen.append(buffer.data(), static_cast<std::size_t>(got));
    }
    return {};
}

Watch BrokerProcess::endWatch() {
    return {log(), [this]() -> hall::Status {
                if (readLog()) return {};
                return hall::Unexpected("mosquitto zakończył działanie");
            }};
}

bool BrokerProcess::readLog() {
    std::array<char, 4096> buffer;
    const ssize_t got = ::read(log(), buffer.data(), buffer.size());
    if (got <= 0) return false;
    pending_.append(buffer.data(), static_cast<std::size_t>(got));
    for (std::size_t end; (end = pending_.find('\n')) != std::string::npos; pending_.erase(0, end + 1))
        std::cerr << "mosquitto: " << pending_.substr(0, end) << '\n';
    return true;
}

}  // namespace bench
