#include "panel_part.h"

#include <array>

namespace sterownik::panel {
namespace {

using namespace std::chrono_literals;

constexpr Duration kBeat = 1s;

bool Loopback(const std::string& address) {
    return address == "localhost" || address == "::1" || address.starts_with("127.");
}

}  // namespace

PanelPart::PanelPart(loop::Reactor& reactor, Controller& controller, const LampUpkeep& upkeep, const ModbusHub& hub,
                     std::ostream& log)
    : registrations_(reactor), controller_(controller), upkeep_(upkeep), hub_(hub), log_(log) {}

hall::Status PanelPart::start(const hall::ControllerConfig& config, const BrokerLink* broker) {
    const hall::PanelConfig& panel = config.panel;
    if (!panel.port) return {};
    hall::Result<std::unique_ptr<PanelServer>> server = PanelServer::Start(panel);
    if (!server) return hall::Unexpected(server.error());
    server_ = std::move(*server);
    broker_ = broker;
    const bool https = !panel.certFile.empty();
    const std::string address = panel.address.empty() ? "*" : panel.address;
    log_ << "panel: " << (https ? "https://" : "http://") << address << ":" << *panel.port << std::endl;
    if (!https && !Loopback(panel.address))
        log_ << "panel: bez panel_certyfikat i panel_klucz hasła przechodzą przez sieć jawnie" << std::endl;
    registrations_.watch(server_->descriptor(), POLLIN, [this](short) { readable(); });
    registrations_.prepare([this](TimePoint now) { return prepare(now); });
    reconfigure(config);
    return {};
}

void PanelPart::reconfigure(const hall::ControllerConfig& config) {
    hall_ = config.name;
    if (!server_) return;
    server_->allowPreview(config.panel.preview);
    shown_.reset();
}

// The lamps and zones at every turn, cheaply; the whole view when they
// changed, and with the beat.
std::optional<TimePoint> PanelPart::prepare(TimePoint now) {
    const HallView hall = controller_.view();
    const bool beat = now >= nextBeat_;
    if (shown_ == hall && !beat) return nextBeat_;
    shown_ = hall;
    PanelView next = view(hall, now);
    if (next != shownView_) {
        server_->show(next);
        shownView_ = std::move(next);
    }
    if (beat) {
        server_->beat();
        nextBeat_ = now + kBeat;
    }
    return nextBeat_;
}

PanelView PanelPart::view(const HallView& hall, TimePoint now) const {
    PanelView view{hall_, hall.lamps, {}, {}, upkeep_.figures()};
    for (int k = 1; k <= hall::kSensorCount; ++k) {
        ZoneView& zone = view.zones[k - 1];
        if (!hall.zones[k - 1]) continue;
        zone.state = ZoneView::State::Held;
        if (const std::optional<TimePoint> release = controller_.releaseAt(k)) {
            zone.state = ZoneView::State::Releasing;
            zone.secondsLeft = static_cast<int>(std::chrono::ceil<std::chrono::seconds>(*release - now).count());
            zone.secondsLeft = std::max(zone.secondsLeft, 0);
        }
    }
    if (broker_) view.devices.emplace_back("broker", broker_->connected());
    for (const auto& [device, online] : hub_.availability()) view.devices.emplace_back(device, online);
    return view;
}

void PanelPart::readable() {
    for (PanelNote& note : server_->take()) {
        if (note.event)
            controller_.arrived(*note.event, note.text);
        else
            log_ << note.text << std::endl;
    }
}

}  // namespace sterownik::panel
