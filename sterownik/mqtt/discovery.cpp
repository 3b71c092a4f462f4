#include "discovery.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <set>

namespace sterownik {
namespace {

using nlohmann::json;

bool AllowedInId(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
}

// FNV-1a: the same on every machine and run, unlike std::hash.
std::uint32_t StableHash(std::string_view text) {
    std::uint32_t hash = 2166136261u;
    for (const char c : text) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    return hash;
}

std::string Hex(std::uint32_t value) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string hex(8, '0');
    for (int i = 7; i >= 0; --i, value >>= 4) hex[i] = kHex[value & 15];
    return hex;
}

// One entity: its component, object id, name, and the keys of its kind;
// one that is not there is removed, should an earlier run have published it.
struct Entity {
    std::string_view component;
    std::string object;
    std::string name;
    json keys;
    bool present = true;
};

// The ledger's: the energy that Home Assistant's energy dashboard takes, the
// power, each lamp's hours, and the failures of the lamps that are watched.
void AddLedgerEntities(std::vector<Entity>& entities, const std::string& base, bool ledger,
                       const std::set<int>& watched) {
    entities.push_back({"sensor",
                        "energia",
                        "Energia",
                        {{"state_topic", base + "/energia"},
                         {"device_class", "energy"},
                         {"state_class", "total_increasing"},
                         {"unit_of_measurement", "kWh"}},
                        ledger});
    entities.push_back({"sensor",
                        "moc",
                        "Moc",
                        {{"state_topic", base + "/moc"},
                         {"device_class", "power"},
                         {"state_class", "measurement"},
                         {"unit_of_measurement", "W"}},
                        ledger});
    for (int n = 1; n <= hall::kLampCount; ++n) {
        const std::string lamp = base + "/lampa/" + std::to_string(n);
        const std::string object = "lampa_" + std::to_string(n);
        entities.push_back({"sensor",
                            object + "_godziny",
                            "Lampa " + std::to_string(n) + " godziny",
                            {{"state_topic", lamp + "/godziny"},
                             {"device_class", "duration"},
                             {"unit_of_measurement", "h"},
                             {"state_class", "total_increasing"},
                             {"entity_category", "diagnostic"},
                             {"enabled_by_default", false}},
                            ledger});
        entities.push_back({"binary_sensor",
                            object + "_awaria",
                            "Lampa " + std::to_string(n) + " awaria",
                            {{"state_topic", lamp + "/awaria"},
                             {"payload_on", "ON"},
                             {"payload_off", "OFF"},
                             {"device_class", "problem"},
                             {"entity_category", "diagnostic"}},
                            watched.contains(n)});
    }
}

std::vector<Entity> Entities(const std::string& base) {
    std::vector<Entity> entities;
    for (int n = 1; n <= hall::kLampCount; ++n) {
        const std::string lamp = base + "/lampa/" + std::to_string(n);
        entities.push_back(
            {"light",
             "lampa_" + std::to_string(n),
             "Lampa " + std::to_string(n),
             {{"state_topic", lamp}, {"command_topic", lamp + "/set"}, {"payload_on", "ON"}, {"payload_off", "OFF"}}});
    }
    for (int k = 1; k <= hall::kSensorCount; ++k)
        entities.push_back({"binary_sensor",
                            "strefa_" + std::to_string(k),
                            "Strefa C" + std::to_string(k),
                            {{"state_topic", base + "/strefa/" + std::to_string(k)},
                             {"payload_on", "ON"},
                             {"payload_off", "OFF"},
                             {"device_class", "occupancy"}}});
    for (int s = 1; s <= hall::kSceneCount; ++s)
        entities.push_back({"scene",
                            "scena_" + std::to_string(s),
                            "Scena " + std::to_string(s),
                            {{"command_topic", base + "/scena/set"}, {"payload_on", std::to_string(s)}}});
    entities.push_back({"button",
                        "wylacz",
                        "Wyłącz oświetlenie",
                        {{"command_topic", base + "/wylacz/set"}, {"payload_press", "PRESS"}}});
    return entities;
}

// The text with each character outside the id's as "_", and then, when one was
// replaced, "_" and a hash of the text.
std::string IdPart(std::string_view text) {
    std::string id;
    bool replaced = false;
    for (const char c : text) {
        if (AllowedInId(c)) {
            id += c;
            continue;
        }
        replaced = true;
        // One "_" for each character, not for each byte of its UTF-8.
        if ((static_cast<unsigned char>(c) & 0xc0) != 0x80) id += '_';
    }
    return replaced ? id + "_" + Hex(StableHash(text)) : id;
}

}  // namespace

std::string NodeId(std::string_view name, std::string_view topicPrefix) {
    const std::string id = "hala_" + IdPart(name);
    return topicPrefix.empty() ? id : IdPart(topicPrefix) + "_" + id;
}

Discovery::Discovery(const hall::ControllerConfig& config, std::string version)
    : base_(hall::HallTopic(config)),
      prefix_(config.discoveryPrefix),
      node_(NodeId(config.name, config.topicPrefix)),
      // Two sites' halls of one name tell apart in Home Assistant's lists too.
      hallName_(config.topicPrefix.empty() ? config.name : config.name + " (" + config.topicPrefix + ")"),
      version_(std::move(version)),
      on_(config.discovery),
      ledger_(config.ledgerFile.has_value()) {
    for (const hall::ModbusOutput& output : config.modbus.outputs)
        for (const int lamp : output.lamps) lampDevices_["lampa_" + std::to_string(lamp)] = output.device;
    for (const hall::ModbusLampWatch& watch : config.modbus.watches)
        watched_.insert(watch.lamps.begin(), watch.lamps.end());
}

std::vector<Message> Discovery::messages() const {
    const json device = {{"identifiers", json::array({node_})},
                         {"name", "Hala " + hallName_},
                         {"sw_version", version_},
                         {"manufacturer", "VELTRONA"},
                         {"model", "sterownik"}};
    std::vector<Message> messages;
    std::vector<Entity> entities = Entities(base_);
    AddLedgerEntities(entities, base_, ledger_, watched_);
    for (Entity& entity : entities) {
        const std::string component(entity.component);
        Message message{prefix_ + "/" + component + "/" + node_ + "/" + entity.object + "/config", ""};
        if (on_ && entity.present) {
            json& config = entity.keys;
            config["name"] = entity.name;
            config["unique_id"] = node_ + "_" + entity.object;
            // A lamp on a Modbus device is there while the hall and the device both are.
            // Home Assistant reads the payloads only inside each entry of the list.
            const auto entry = [](const std::string& topic) {
                return json{{"topic", topic}, {"payload_available", "online"}, {"payload_not_available", "offline"}};
            };
            json availability = json::array({entry(base_ + "/dostepnosc")});
            if (const auto device = lampDevices_.find(entity.object); device != lampDevices_.end())
                availability.push_back(entry(base_ + "/modbus/" + device->second));
            config["availability"] = availability;
            config["availability_mode"] = "all";
            // A command is taken at QoS 1, as the controller subscribes: none is lost on the way.
            if (config.contains("command_topic")) config["qos"] = 1;
            config["device"] = device;
            // A name that is not UTF-8 is refused at start; here it would only be replaced.
            message.payload = config.dump(-1, ' ', false, json::error_handler_t::replace);
        }
        messages.push_back(std::move(message));
    }
    return messages;
}

}  // namespace sterownik
