#include "lamp_upkeep.h"

#include <set>

namespace sterownik {
namespace {

using namespace std::chrono_literals;

constexpr Duration kHoursEvery = 60s;

std::string Describe(const LampFailures::Change& change) {
    return "lampa " + std::to_string(change.lamp) + ": " + (change.failed ? "awaria" : "koniec awarii") + " (" +
           std::string(FailureReason(change.kind)) + ")";
}

}  // namespace

LampUpkeep::LampUpkeep(loop::Reactor& reactor, const hall::ControllerConfig& config, std::ostream& log)
    : registrations_(reactor), log_(log), topics_(config), watts_(config.lampWatts) {
    if (config.ledgerFile) ledger_ = std::make_unique<ledger::LedgerPart>(reactor, *config.ledgerFile, *this, log);
    registrations_.prepare([this](TimePoint now) {
        take(failures_.settle(now));
        return failures_.nextDeadline();
    });
    reconfigure(config);
}

LampUpkeep::~LampUpkeep() = default;

void LampUpkeep::reconfigure(const hall::ControllerConfig& config) {
    topics_ = TopicTable(config);
    if (ledger_ && watts_ != config.lampWatts) ledger_->setPowers(config.lampWatts);
    watts_ = config.lampWatts;
    ratedHours_ = config.ratedHours;
    std::set<int> reported, readBack;
    for (const hall::ModbusLampWatch& watch : config.modbus.watches)
        (watch.readBack ? readBack : reported).insert(watch.lamps.begin(), watch.lamps.end());
    take(failures_.watch(reported, readBack));
}

// The ledger begins with the first lamps known: a file unreadable at start counts nothing.
void LampUpkeep::lampsKnown(const hall::LampsLit& lamps) {
    if (lamps_ == lamps) return;
    const bool first = !lamps_;
    lamps_ = lamps;
    if (ledger_ && first) {
        if (const hall::Status started = ledger_->start(lamps, watts_); !started) {
            log_ << "dziennik nie działa: " << started.error() << std::endl;
            ledger_.reset();
        }
    } else if (ledger_) {
        ledger_->observe(lamps);
    }
    take(failures_.lampsChanged(lamps, Clock::now()));
    publishFigures(false);
}

void LampUpkeep::lampSignals(const std::vector<LampSignal>& readings) {
    if (lamps_) take(failures_.read(readings, *lamps_, Clock::now()));
}

void LampUpkeep::connected() {
    energy_.reset();
    power_.reset();
    hours_ = {};
    failed_ = {};
    publishFigures(true);
    take({});
}

void LampUpkeep::close(Duration patience) {
    if (ledger_) ledger_->close(patience);
}

UpkeepFigures LampUpkeep::figures() const {
    UpkeepFigures figures{ledger_ != nullptr, litWatts(), totals_, today_, ratedHours_, {}};
    for (const int n : failures_.watched()) figures.failures[n - 1] = failures_.failure(n);
    return figures;
}

void LampUpkeep::committed(const hall::LampTotals& totals, std::int64_t todayMicrojoules) {
    totals_ = totals;
    today_ = todayMicrojoules;
    const TimePoint now = Clock::now();
    const bool hours = now >= nextHours_;
    publishFigures(hours);
    if (hours) nextHours_ = now + kHoursEvery;
}

// A failure the file held open goes on until a read shows the lamp sound;
// one of a lamp no longer watched for it ends now.
void LampUpkeep::openFailures(const std::vector<hall::FailureSpan>& failures) {
    std::vector<LampFailures::Change> ended;
    for (const hall::FailureSpan& failure : failures)
        for (const FailureKind kind : {FailureKind::Reported, FailureKind::Mismatch})
            if (failure.kind == FailureReason(kind) && !failures_.assume(failure.lamp, kind))
                ended.push_back({failure.lamp, kind, false});
    take(ended);
}

void LampUpkeep::take(const std::vector<LampFailures::Change>& changes) {
    for (const LampFailures::Change& change : changes) {
        log_ << Describe(change) << std::endl;
        const hall::WallTime now = ledger::WallNow();
        hall::FailureSpan span{change.lamp, std::string(FailureReason(change.kind)), now, std::nullopt};
        if (!change.failed) span.ended = now;
        if (ledger_) ledger_->failure(std::move(span));
    }
    if (!link_ || !link_->connected()) return;
    for (const int n : failures_.watched()) publish(topics_.failure(n, failures_.failed(n)), failed_[n - 1]);
}

double LampUpkeep::litWatts() const {
    double watts = 0;
    for (int i = 0; lamps_ && i < hall::kLampCount; ++i)
        if ((*lamps_)[i] && watts_[i]) watts += *watts_[i];
    return watts;
}

// Only what changed since the broker last got it.
void LampUpkeep::publish(const Message& message, std::optional<std::string>& published) {
    if (published == message.payload) return;
    link_->publish(message);
    published = message.payload;
}

void LampUpkeep::publishFigures(bool hours) {
    if (!ledger_ || !link_ || !link_->connected() || !lamps_) return;
    publish(topics_.power(litWatts()), power_);
    if (!totals_) return;
    std::int64_t energy = 0;
    for (const hall::LampFigures& lamp : *totals_) energy = hall::SaturatedSum(energy, lamp.energyMicrojoules);
    publish(topics_.energy(energy), energy_);
    if (!hours) return;
    for (int n = 1; n <= hall::kLampCount; ++n) publish(topics_.hours(n, (*totals_)[n - 1].litMs), hours_[n - 1]);
}

}  // namespace sterownik
