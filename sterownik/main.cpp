// The hall's controller: motion sensors, wall keys and the switch-off delay
// carried out on ../actual.txt, the lamps driven over MQTT. Runs in the
// hall's konfigurator/ directory until SIGTERM or SIGINT; SIGHUP reads
// sterownik.conf again.
#include "bms_server.h"
#include "broker_link.h"
#include "config_keys.h"
#include "controller.h"
#include "controller_config.h"
#include "discovery.h"
#include "event_loop.h"
#include "line_file.h"
#include "modbus_hub.h"
#include "posix_file.h"
#include "topic_checks.h"
#include "topics.h"

#include <fcntl.h>
#include <malloc.h>
#include <mosquitto.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <system_error>

namespace {

// A password file holds one line; a longer one is no password.
constexpr std::size_t kPasswordLimit = 4 * 1024;
// One controller per hall: the second one finds this file locked.
const std::filesystem::path kLockPath = "sterownik.lock";
// A writer is done with its temporary file within a second or two.
constexpr std::chrono::seconds kStaleTemporary{60};

int ConfigurationError(const std::string& error) {
    std::cerr << "sterownik: " << error << '\n';
    return 2;
}

std::string HallDirectoryName() {
    std::error_code ec;
    const std::filesystem::path work = std::filesystem::current_path(ec);
    return ec ? std::string() : work.parent_path().filename().string();
}

hall::Result<std::string> ReadPassword(const hall::ControllerConfig& config) {
    if (config.passwordFile.empty()) return std::string();
    const hall::os::SysResult<std::vector<std::string>> lines = hall::ReadLines(config.passwordFile, kPasswordLimit);
    const std::string file = config.passwordFile.string();
    if (!lines) return hall::Unexpected("nie można odczytać pliku hasła " + file);
    if (lines->empty()) return hall::Unexpected("plik hasła " + file + " jest pusty");
    return lines->front();
}

// Everything sterownik.conf sets, checked as a whole.
struct Setup {
    hall::ControllerConfig config;
    sterownik::LinkSettings link;
};

hall::Result<Setup> LoadSetup() {
    hall::Result<hall::ControllerConfig> config =
        hall::ReadControllerConfig(hall::kControllerConfigPath, HallDirectoryName());
    if (!config) return hall::Unexpected(config.error());
    if (const hall::Status topics = sterownik::CheckTopics(*config); !topics) return hall::Unexpected(topics.error());
    const hall::Result<std::string> password = ReadPassword(*config);
    if (!password) return hall::Unexpected(password.error());
    Setup setup{std::move(*config), {}};
    sterownik::LinkSettings& link = setup.link;
    link.host = setup.config.host;
    link.port = setup.config.port;
    link.clientId = "sterownik/" + setup.config.name;
    link.user = setup.config.user;
    link.password = *password;
    link.caFile = setup.config.caFile.string();
    link.certFile = setup.config.certFile.string();
    link.keyFile = setup.config.keyFile.string();
    link.will = sterownik::TopicTable(setup.config).availability(false);
    return setup;
}

void LogStart(const hall::ControllerConfig& config) {
    std::cout << "sterownik hali " << config.name;
    if (config.useBroker)
        std::cout << ", broker " << config.host << ":" << config.port;
    else
        std::cout << ", bez brokera";
    std::cout << ", urządzeń Modbus: " << config.modbus.devices.size() << std::endl;
}

// What runs the hall beside the controller, rebuilt where a reload changes it.
struct Parts {
    std::unique_ptr<sterownik::BrokerLink> broker;
    std::unique_ptr<sterownik::ModbusHub> modbus;
    std::unique_ptr<sterownik::BmsServer> bms;
    sterownik::Wiring wiring;

    void setModbus(const hall::ModbusConfig& config, sterownik::Controller& controller) {
        controller.attach(static_cast<sterownik::ModbusHub*>(nullptr));
        modbus.reset();
        if (!config.devices.empty()) modbus = std::make_unique<sterownik::ModbusHub>(config, std::cout);
        wiring.modbus = modbus.get();
        controller.attach(modbus.get());
    }
};

// A good file takes effect at once; a bad one leaves the running configuration as it is.
void Reload(Setup& running, sterownik::Controller& controller, Parts& parts) {
    hall::Result<Setup> next = LoadSetup();
    const std::string file = hall::kControllerConfigPath.string();
    const hall::Status reloadable = next ? hall::CheckReload(running.config, next->config) : hall::Status();
    if (!reloadable) next = hall::Unexpected(reloadable.error());
    if (!next) {
        std::cout << "nie wczytano ponownie " << file << ": " << next.error() << "; zostają dotychczasowe ustawienia"
                  << std::endl;
        return;
    }
    if (next->config == running.config && next->link == running.link) {
        std::cout << "wczytano ponownie " << file << ": bez zmian" << std::endl;
        return;
    }
    std::cout << "wczytano ponownie " << file << std::endl;
    LogStart(next->config);
    const bool relink = !(next->link == running.link);
    const bool rewire = !(next->config.modbus == running.config.modbus);
    running = std::move(*next);
    // A new connection subscribes and publishes everything anew by itself.
    if (relink && parts.broker) parts.broker->reconfigure(running.link);
    if (rewire) parts.setModbus(running.config.modbus, controller);
    controller.reconfigure(sterownik::TopicTable(running.config),
                           sterownik::Discovery(running.config, STEROWNIK_VERSION));
}

// The socket systemd hands over by its LISTEN_FDS protocol (descriptor 3 on),
// meant for this process; -1: none. The variables go, so that no child takes them.
int HandedSocket() {
    const char* pid = std::getenv("LISTEN_PID");
    const char* count = std::getenv("LISTEN_FDS");
    const bool ours = pid && count && std::to_string(::getpid()) == pid && std::string(count) != "0";
    for (const char* name : {"LISTEN_PID", "LISTEN_FDS", "LISTEN_FDNAMES"}) ::unsetenv(name);
    if (!ours) return -1;
    constexpr int kFirstHanded = 3;
    ::fcntl(kFirstHanded, F_SETFD, FD_CLOEXEC);
    return kFirstHanded;
}

void RemoveLeftovers() {
    int removed = 0;
    for (const std::filesystem::path directory : {".", ".."})
        removed += hall::os::RemoveStaleTemporaries(directory, kStaleTemporary);
    if (removed > 0) std::cout << "usunięto pozostawione pliki tymczasowe: " << removed << std::endl;
}

int Run(Setup& setup) {
    sterownik::Controller controller(sterownik::TopicTable(setup.config),
                                     sterownik::Discovery(setup.config, STEROWNIK_VERSION), std::cout);
    Parts parts;
    if (setup.config.useBroker) {
        parts.broker = std::make_unique<sterownik::BrokerLink>(setup.link, controller, std::cout);
        if (const hall::Status ready = parts.broker->setUp(); !ready) return ConfigurationError(ready.error());
        parts.wiring.broker = parts.broker.get();
        controller.attach(parts.broker.get());
    }
    // A socket handed over by systemd (sterownik-modbus@.socket) serves the BMS, on port 502 as a rule.
    const int handed = HandedSocket();
    if (setup.config.modbus.server.on || handed >= 0) {
        auto server = sterownik::BmsServer::Start(setup.config.modbus.server, handed);
        if (!server) return ConfigurationError(server.error());
        parts.bms = std::move(*server);
        parts.wiring.bms = parts.bms.get();
    }
    LogStart(setup.config);
    RemoveLeftovers();
    controller.start(sterownik::Clock::now());
    parts.setModbus(setup.config.modbus, controller);
    return sterownik::RunLoop(
        controller, parts.wiring, [&] { Reload(setup, controller, parts); }, std::cout);
}

}  // namespace

int main() {
    hall::Result<Setup> setup = LoadSetup();
    if (!setup) return ConfigurationError(setup.error());
    const hall::os::SysResult<hall::os::Descriptor> lock = hall::os::LockExclusively(kLockPath);
    if (!lock) {
        if (lock.error() == std::errc::operation_would_block) {
            std::cerr << "sterownik: tę halę obsługuje już inny sterownik\n";
        } else {
            std::cerr << "sterownik: nie można otworzyć pliku " << kLockPath.string() << ": " << lock.error().message()
                      << '\n';
        }
        return 1;
    }
    ::signal(SIGPIPE, SIG_IGN);
    // Fixed thresholds: a controller that has caught up with a backlog gives
    // back the memory it took, instead of keeping it for the next one.
    ::mallopt(M_TRIM_THRESHOLD, 64 * 1024);
    ::mallopt(M_MMAP_THRESHOLD, 64 * 1024);
    sterownik::BlockLoopSignals();
    mosquitto_lib_init();
    const int status = Run(*setup);
    mosquitto_lib_cleanup();
    return status;
}
