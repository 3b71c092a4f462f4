#pragma once

#include "broker_link.h"
#include "discovery.h"
#include "hall_rules.h"
#include "hall_view.h"
#include "lamp_upkeep.h"
#include "modbus_hub.h"
#include "note_throttle.h"
#include "topics.h"

#include <array>
#include <optional>
#include <ostream>
#include <vector>

namespace sterownik {

// The hall's files and the broker around the rules: gathers the events that
// arrive, reads the files once for each group of them, writes ../actual.txt
// once, publishes what changed and logs what each event did.
class Controller : public LinkListener, public ModbusListener {
public:
    // Events taken in one group at most, so that one turn of the loop stays short.
    static constexpr std::size_t kGroupLimit = 256;

    Controller(TopicTable topics, Discovery discovery, std::ostream& log)
        : topics_(std::move(topics)), discovery_(std::move(discovery)), log_(log) {}

    void attach(BrokerLink* link) { link_ = link; }
    // The upkeep follows every change of the lamps, and every new connection.
    void attach(LampUpkeep* upkeep) { upkeep_ = upkeep; }
    // The Modbus devices whose outputs follow the lamps; nothing: none.
    void attach(ModbusHub* hub);
    void start(TimePoint now);
    // Topics and discovery of a configuration read again, subscribed and
    // published at once on a link that stays.
    void reconfigure(TopicTable topics, Discovery discovery);
    // Carries out the events waiting and the releases due by `now`, as one group.
    void settle(TimePoint now);
    bool full() const override { return pending_.size() >= kGroupLimit; }
    // ../actual.txt may have been replaced by another program.
    void stateFileChanged();
    std::optional<TimePoint> nextDeadline() const;
    // The hall as the building's management system reads it.
    HallView view() const;
    std::optional<TimePoint> releaseAt(int input) const { return rules_.releaseAt(input); }

    void connected() override;
    void received(std::string_view topic, std::string_view payload, bool retained) override;
    void arrived(const Event& event, const std::string& source) override;
    void deviceAvailable(const std::string& device, bool online) override;
    void lampSignals(const std::vector<LampSignal>& readings) override;

private:
    void carryOut(const Outcome& outcome, const HallFiles& files);
    void logLines(const std::vector<std::string>& lines);
    void noteDelay(bool readable);
    // Lamps read from the file: published, and logged when another program switched them.
    void noticed(const hall::LampsLit& lamps);
    void known(const std::optional<hall::LampsLit>& lamps);
    void publish();
    void publishLamps();
    void publishZones();

    HallRules rules_;
    TopicTable topics_;
    Discovery discovery_;
    std::ostream& log_;
    BrokerLink* link_ = nullptr;
    ModbusHub* hub_ = nullptr;
    LampUpkeep* upkeep_ = nullptr;
    std::vector<Arrival> pending_;
    NoteThrottle ignored_;
    bool delayReadable_ = true;
    std::optional<hall::LampsLit> known_;  // as last read or written
    // What the broker holds from this connection; nothing: not published yet.
    std::optional<hall::LampsLit> publishedLamps_;
    std::array<std::optional<bool>, hall::kSensorCount> publishedZones_{};
};

}  // namespace sterownik
