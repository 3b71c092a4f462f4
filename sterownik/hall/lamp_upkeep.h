#pragma once

#include "broker_link.h"
#include "controller_config.h"
#include "hall_view.h"
#include "lamp_failures.h"
#include "ledger_part.h"
#include "reactor.h"
#include "topics.h"

#include <array>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

namespace sterownik {

// The upkeep of the hall's lamps: their ledger, the power of the lit ones,
// and the failures that the Modbus modules report, logged once when they
// appear and once when they clear, kept in the ledger and published. The
// energy and the hours published are the ledger's committed totals; the
// power and the energy at a change of the lit lamps and at most every 10 s,
// the hours at most once a minute.
class LampUpkeep : public ledger::LedgerListener {
public:
    LampUpkeep(loop::Reactor& reactor, const hall::ControllerConfig& config, std::ostream& log);
    ~LampUpkeep() override;

    void attach(BrokerLink* link) { link_ = link; }
    // Powers and watched lamps of a configuration read again; its topics.
    void reconfigure(const hall::ControllerConfig& config);
    // The lamps as actual.txt says now, whoever changed them.
    void lampsKnown(const hall::LampsLit& lamps);
    void lampSignals(const std::vector<LampSignal>& readings);
    // A new connection: everything published anew.
    void connected();
    // The last of the ledger committed, waiting at most `patience`.
    void close(Duration patience);
    UpkeepFigures figures() const;

    void committed(const hall::LampTotals& totals, std::int64_t todayMicrojoules) override;
    void openFailures(const std::vector<hall::FailureSpan>& failures) override;

private:
    void take(const std::vector<LampFailures::Change>& changes);
    void publish(const Message& message, std::optional<std::string>& published);
    void publishFigures(bool hours);
    double litWatts() const;

    loop::Registrations registrations_;
    std::ostream& log_;
    TopicTable topics_;
    ledger::Powers watts_{};
    std::array<std::optional<double>, hall::kLampCount> ratedHours_{};
    std::unique_ptr<ledger::LedgerPart> ledger_;
    BrokerLink* link_ = nullptr;
    LampFailures failures_;
    std::optional<hall::LampsLit> lamps_;
    std::optional<hall::LampTotals> totals_;
    std::int64_t today_ = 0;
    // What the broker holds from this connection; nothing: not published yet.
    std::optional<std::string> energy_, power_;
    std::array<std::optional<std::string>, hall::kLampCount> hours_{}, failed_{};
    TimePoint nextHours_{};
};

}  // namespace sterownik
