#include "wiring.h"

#include "config_keys.h"
#include "discovery.h"
#include "posix_file.h"
#include "topics.h"

#include <iostream>

namespace sterownik {
namespace {

// A writer is done with its temporary file within a second or two.
constexpr std::chrono::seconds kStaleTemporary{60};
// A stop waits this long at most for the ledger's last commit.
constexpr std::chrono::seconds kLedgerPatience{2};

void RemoveLeftovers(std::ostream& log) {
    int removed = 0;
    for (const std::filesystem::path directory : {".", ".."})
        removed += hall::os::RemoveStaleTemporaries(directory, kStaleTemporary);
    if (removed > 0) log << "usunięto pozostawione pliki tymczasowe: " << removed << std::endl;
}

int ConfigurationError(const std::string& error) {
    std::cerr << "sterownik: " << error << '\n';
    return 2;
}

}  // namespace

Wiring::Wiring(Setup setup, std::ostream& log)
    : running_(std::move(setup)),
      log_(log),
      upkeep_(reactor_, running_.config, log),
      controller_(TopicTable(running_.config), Discovery(running_.config, STEROWNIK_VERSION), log),
      signals_(reactor_, [this] { reload(); }),
      settling_(reactor_),
      watch_(
          reactor_, [this] { controller_.stateFileChanged(); }, log),
      hub_(reactor_, controller_, log),
      panel_(reactor_, controller_, upkeep_, hub_, log) {}

int Wiring::run() {
    if (const hall::Status caught = signals_.start(); !caught) {
        log_ << caught.error() << std::endl;
        return 1;
    }
    if (running_.config.useBroker) {
        broker_ = std::make_unique<BrokerLink>(running_.link, controller_, reactor_, log_);
        if (const hall::Status ready = broker_->start(); !ready) return ConfigurationError(ready.error());
        controller_.attach(broker_.get());
        upkeep_.attach(broker_.get());
    }
    settling_.prepare([this](TimePoint now) {
        controller_.settle(now);
        return controller_.nextDeadline();
    });
    // A socket handed over by systemd (sterownik-modbus@.socket) serves the BMS, on port 502 as a rule.
    const hall::Result<std::optional<int>> handed = HandedSocket();
    if (!handed) return ConfigurationError(handed.error());
    if (running_.config.modbus.server.on || *handed) {
        auto server = BmsServer::Start(
            running_.config.modbus.server, *handed, reactor_, [this] { return controller_.view(); },
            [this](const Event& event) { controller_.arrived(event, "BMS"); }, log_);
        if (!server) return ConfigurationError(server.error());
        bms_ = std::move(*server);
    }
    logStart();
    if (const hall::Status panel = panel_.start(running_.config, broker_.get()); !panel)
        return ConfigurationError(panel.error());
    RemoveLeftovers(log_);
    controller_.attach(&upkeep_);
    controller_.start(Clock::now());
    watch_.start();
    controller_.attach(&hub_);
    hub_.configure(running_.config.modbus);
    const int status = reactor_.run(log_);
    upkeep_.close(kLedgerPatience);
    if (broker_) {
        log_ << "zatrzymano: " << broker_->will().topic << " " << broker_->will().payload << std::endl;
        broker_->close();
    } else {
        log_ << "zatrzymano" << std::endl;
    }
    return status;
}

void Wiring::logStart() const {
    const hall::ControllerConfig& config = running_.config;
    log_ << "sterownik hali " << config.name;
    if (config.useBroker)
        log_ << ", broker " << config.host << ":" << config.port;
    else
        log_ << ", bez brokera";
    log_ << ", urządzeń Modbus: " << config.modbus.devices.size() << std::endl;
}

// A good file takes effect at once; a bad one leaves the running configuration as it is.
void Wiring::reload() {
    hall::Result<Setup> next = LoadSetup();
    const std::string file = hall::kControllerConfigPath.string();
    const hall::Status reloadable = next ? hall::CheckReload(running_.config, next->config) : hall::Status();
    if (!reloadable) next = hall::Unexpected(reloadable.error());
    if (!next) {
        log_ << "nie wczytano ponownie " << file << ": " << next.error() << "; zostają dotychczasowe ustawienia"
             << std::endl;
        return;
    }
    if (next->config == running_.config && next->link == running_.link) {
        log_ << "wczytano ponownie " << file << ": bez zmian" << std::endl;
        return;
    }
    log_ << "wczytano ponownie " << file << std::endl;
    const bool relink = !(next->link == running_.link);
    const bool rewire = !(next->config.modbus == running_.config.modbus);
    running_ = std::move(*next);
    logStart();
    // A new connection subscribes and publishes everything anew by itself.
    if (relink && broker_) broker_->reconfigure(running_.link);
    if (rewire) hub_.configure(running_.config.modbus);
    // The upkeep first: the controller's new connection publishes the upkeep's topics too.
    upkeep_.reconfigure(running_.config);
    controller_.reconfigure(TopicTable(running_.config), Discovery(running_.config, STEROWNIK_VERSION));
    panel_.reconfigure(running_.config);
}

}  // namespace sterownik
