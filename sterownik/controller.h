#pragma once

#include "broker_link.h"
#include "discovery.h"
#include "hall_rules.h"
#include "topics.h"

#include <array>
#include <optional>
#include <ostream>

namespace sterownik {

// The hall's files and the broker around the rules: reads the files at each
// event, writes ../actual.txt, publishes what changed and logs each switch.
class Controller : public LinkListener {
public:
    Controller(TopicTable topics, Discovery discovery, std::ostream& log)
        : topics_(std::move(topics)), discovery_(std::move(discovery)), log_(log) {}

    void attach(BrokerLink& link) { link_ = &link; }
    void start(TimePoint now);
    // Releases the zones due by `now`.
    void deadline(TimePoint now);
    // ../actual.txt may have been replaced by another program.
    void stateFileChanged();
    std::optional<TimePoint> nextDeadline() const { return rules_.nextDeadline(); }

    void connected() override;
    void received(std::string_view topic, std::string_view payload, bool retained) override;

private:
    void carryOut(const Outcome& outcome, const HallFiles& files);
    // Lamps read from the file: published, and logged when another program switched them.
    void noticed(const hall::LampsLit& lamps);
    void publishLamps();
    void publishZones();

    HallRules rules_;
    TopicTable topics_;
    Discovery discovery_;
    std::ostream& log_;
    BrokerLink* link_ = nullptr;
    std::optional<hall::LampsLit> known_;  // as last read or written
    // What the broker holds from this connection; nothing: not published yet.
    std::optional<hall::LampsLit> publishedLamps_;
    std::array<std::optional<bool>, hall::kSensorCount> publishedZones_{};
};

}  // namespace sterownik
