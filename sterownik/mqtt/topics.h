#pragma once

#include "controller_config.h"
#include "events.h"
#include "result.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sterownik {

// What an incoming message means: an event, nothing when it is ignored by
// design (a key's release, a retained message), or why it was ignored.
using Incoming = hall::Result<std::optional<Event>>;

struct Message {
    std::string topic;
    std::string payload;
    bool operator==(const Message&) const = default;
};

// Every topic and payload of the controller, in and out, with P = hala/NAZWA (or PREFIKS/hala/NAZWA):
//   in   P/czujnik/<1..8>     1, ON, true: motion; 0, OFF, false: none (any case)
//        P/klawisz/<A1..F4>   a press: 1, ON, true, PRESS or empty; 0, OFF, false: a release, ignored
//        or a device's own topic in place of either, from the configuration;
//        a sensor also takes zigbee2mqtt's JSON object, {"occupancy": true / false}
//        P/lampa/<1..108>/set ON / OFF (any case): that lamp
//        P/scena/set          1 to 8: that scene, as a key switches it
//        P/wylacz/set         anything: every lamp off
//   out  P/lampa/<1..108>     ON / OFF, and the device's own command topic and payloads
//        P/stan               the lamp state line
//        P/strefa/<1..8>      ON while the zone is held, else OFF
//        P/dostepnosc         online; offline at a clean stop and as the last will
//        P/modbus/<NAZWA>     online while the Modbus device answers, else offline
//        P/energia            the hall's energy since its ledger began, kWh, 3 decimals
//        P/moc                the rated power of the lit lamps, W, whole
//        P/lampa/<1..108>/godziny   the lamp's lit hours, 2 decimals
//        P/lampa/<1..108>/awaria    ON while the lamp has failed, else OFF
// Everything out is retained and sent with QoS 1.
class TopicTable {
public:
    explicit TopicTable(const hall::ControllerConfig& config);

    // A retained message is the past, handed over at subscribe time: no event.
    Incoming read(std::string_view topic, std::string_view payload, bool retained) const;
    std::vector<std::string> subscriptions() const;
    // The controller's own topics in and out under P, as subscription patterns:
    // a device's topic must be none of them, or the controller would hear itself.
    std::vector<std::string> ownTopics() const;

    std::vector<Message> lamp(int n, bool lit) const;
    Message state(const hall::LampsLit& lamps) const;
    Message zone(int input, bool held) const;
    Message availability(bool online) const;
    Message device(const std::string& device, bool online) const;
    Message energy(std::int64_t microjoules) const;
    Message power(double watts) const;
    Message hours(int n, std::int64_t litMs) const;
    Message failure(int n, bool failed) const;

private:
    std::vector<std::string> ownInputs() const;

    std::string prefix_;
    // Each topic in, with the event its payload is read into.
    std::map<std::string, Event, std::less<>> inputs_;
    std::vector<std::string> deviceTopics_;
    std::array<hall::LampCommand, hall::kLampCount> lampCommands_;
};

}  // namespace sterownik
