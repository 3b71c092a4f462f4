#pragma once

#include "controller_config.h"
#include "topics.h"

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace sterownik {

// Home Assistant takes only [a-zA-Z0-9_-] in a node id: "hala_" and NAZWA,
// each other character as "_" and then "_" and a hash of NAZWA, so that the
// id stays the same across restarts and two names never share one. A topic
// prefix, made the same way, goes before it: two sites' halls of one name
// under one central broker never share one either.
std::string NodeId(std::string_view name, std::string_view topicPrefix = {});

// Home Assistant's MQTT discovery for one hall, as one device: 108 lights,
// 8 occupancy sensors (the zones), 8 scenes and the all-off button; with a
// ledger, the energy, the power and each lamp's hours; the failures of the
// lamps that Modbus lines watch. Each a retained configuration at
// <prefix>/<component>/<node id>/<object id>/config.
class Discovery {
public:
    Discovery(const hall::ControllerConfig& config, std::string version);

    // The configurations when discovery is on; when off, the same topics
    // with empty payloads, which remove what an earlier run published.
    std::vector<Message> messages() const;

private:
    std::string base_;  // P
    std::string prefix_;
    std::string node_;
    std::string hallName_;
    std::string version_;
    bool on_;
    bool ledger_;
    std::set<int> watched_;                           // lamps whose failures are read
    std::map<std::string, std::string> lampDevices_;  // "lampa_12" → the Modbus device that drives it
};

}  // namespace sterownik
