#include "topics.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>

namespace sterownik {
namespace {

constexpr std::array<std::string_view, 3> kOnWords = {"1", "on", "true"};
constexpr std::array<std::string_view, 3> kOffWords = {"0", "off", "false"};
// Far above what a sensor sends, low enough that no payload costs memory.
constexpr std::size_t kJsonLimit = 64 * 1024;

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

template <std::size_t N>
bool IsOneOf(std::string_view payload, const std::array<std::string_view, N>& words) {
    return std::any_of(words.begin(), words.end(), [&](std::string_view w) { return EqualsIgnoringCase(payload, w); });
}

hall::Unexpected<std::string> Ignored(std::string_view what, std::string_view topic, std::string_view payload) {
    return hall::Unexpected("pominięto " + std::string(what) + ": " + hall::QuotedForLog(topic) + " \"" +
                            hall::QuotedForLog(payload, 40) + "\"");
}

Incoming Is(Event event) { return std::optional<Event>(event); }
Incoming Nothing() { return std::optional<Event>(); }

// zigbee2mqtt's report: a JSON object whose "occupancy" is a boolean.
std::optional<bool> Occupancy(std::string_view payload) {
    const nlohmann::json json = nlohmann::json::parse(payload.begin(), payload.end(), nullptr, false);
    if (json.is_discarded() || !json.is_object()) return std::nullopt;
    const auto occupancy = json.find("occupancy");
    if (occupancy == json.end() || !occupancy->is_boolean()) return std::nullopt;
    return occupancy->get<bool>();
}

Incoming Read(const Motion& input, std::string_view topic, std::string_view payload) {
    if (IsOneOf(payload, kOnWords)) return Is(Motion{input.input, true});
    if (IsOneOf(payload, kOffWords)) return Is(Motion{input.input, false});
    if (payload.size() > kJsonLimit) return Ignored("za długą treść czujnika", topic, payload);
    if (const std::optional<bool> present = Occupancy(payload)) return Is(Motion{input.input, *present});
    return Ignored("złą treść czujnika", topic, payload);
}

Incoming Read(const KeyPress& key, std::string_view topic, std::string_view payload) {
    if (IsOneOf(payload, kOffWords)) return Nothing();
    if (payload.empty() || IsOneOf(payload, kOnWords) || EqualsIgnoringCase(payload, "press")) return Is(key);
    return Ignored("złą treść klawisza", topic, payload);
}

Incoming Read(const SetLamp& lamp, std::string_view topic, std::string_view payload) {
    if (EqualsIgnoringCase(payload, "on")) return Is(SetLamp{lamp.lamp, true});
    if (EqualsIgnoringCase(payload, "off")) return Is(SetLamp{lamp.lamp, false});
    return Ignored("złe polecenie lampy", topic, payload);
}

// Only the building's management system switches several lamps at once; no topic does.
Incoming Read(const SetLamps&, std::string_view topic, std::string_view payload) {
    return Ignored("nieznany temat", topic, payload);
}

Incoming Read(const SetScene&, std::string_view topic, std::string_view payload) {
    if (payload.size() == 1 && payload[0] >= '1' && payload[0] < '1' + hall::kSceneCount)
        return Is(SetScene{payload[0] - '0'});
    return Ignored("zły numer sceny", topic, payload);
}

Incoming Read(const AllOff& all, std::string_view, std::string_view) { return Is(all); }

}  // namespace

TopicTable::TopicTable(const hall::ControllerConfig& config)
    : prefix_(hall::HallTopic(config)), lampCommands_(config.lampCommands) {
    for (int k = 1; k <= hall::kSensorCount; ++k) {
        const std::string& own = config.sensorTopics[k - 1];
        inputs_[own.empty() ? prefix_ + "/czujnik/" + std::to_string(k) : own] = Motion{k, true};
        if (!own.empty()) deviceTopics_.push_back(own);
    }
    for (int key = 0; key < hall::kKeyCount; ++key) {
        const std::string& own = config.keyTopics[key];
        inputs_[own.empty() ? prefix_ + "/klawisz/" + hall::KeyName(key) : own] = KeyPress{key};
        if (!own.empty()) deviceTopics_.push_back(own);
    }
    // A device's own topic keeps its meaning should it coincide with a command's.
    for (int n = 1; n <= hall::kLampCount; ++n)
        inputs_.emplace(prefix_ + "/lampa/" + std::to_string(n) + "/set", SetLamp{n});
    inputs_.emplace(prefix_ + "/scena/set", SetScene{});
    inputs_.emplace(prefix_ + "/wylacz/set", AllOff{});
}

Incoming TopicTable::read(std::string_view topic, std::string_view payload, bool retained) const {
    if (retained) return Nothing();
    const auto input = inputs_.find(topic);
    if (input == inputs_.end()) return Ignored("nieznany temat", topic, payload);
    return std::visit([&](const auto& event) { return Read(event, topic, payload); }, input->second);
}

std::vector<std::string> TopicTable::ownInputs() const {
    return {prefix_ + "/czujnik/+", prefix_ + "/klawisz/+", prefix_ + "/lampa/+/set", prefix_ + "/scena/set",
            prefix_ + "/wylacz/set"};
}

std::vector<std::string> TopicTable::subscriptions() const {
    std::vector<std::string> topics = ownInputs();
    topics.insert(topics.end(), deviceTopics_.begin(), deviceTopics_.end());
    return topics;
}

std::vector<std::string> TopicTable::ownTopics() const {
    std::vector<std::string> topics = ownInputs();
    for (const char* out : {"/lampa/+", "/stan", "/strefa/+", "/dostepnosc", "/modbus/+", "/energia", "/moc",
                            "/lampa/+/godziny", "/lampa/+/awaria"})
        topics.push_back(prefix_ + out);
    return topics;
}

std::vector<Message> TopicTable::lamp(int n, bool lit) const {
    std::vector<Message> messages = {{prefix_ + "/lampa/" + std::to_string(n), lit ? "ON" : "OFF"}};
    const hall::LampCommand& command = lampCommands_[n - 1];
    if (!command.topic.empty()) messages.push_back({command.topic, lit ? command.on : command.off});
    return messages;
}

Message TopicTable::state(const hall::LampsLit& lamps) const {
    return {prefix_ + "/stan", hall::ComposeStateLine(hall::StatesOf(lamps))};
}

Message TopicTable::zone(int input, bool held) const {
    return {prefix_ + "/strefa/" + std::to_string(input), held ? "ON" : "OFF"};
}

Message TopicTable::availability(bool online) const { return {prefix_ + "/dostepnosc", online ? "online" : "offline"}; }

Message TopicTable::device(const std::string& device, bool online) const {
    return {prefix_ + "/modbus/" + device, online ? "online" : "offline"};
}

Message TopicTable::energy(std::int64_t microjoules) const {
    return {prefix_ + "/energia", hall::DecimalText(static_cast<double>(microjoules) / hall::kMicrojoulesPerKwh, 3)};
}

Message TopicTable::power(double watts) const { return {prefix_ + "/moc", hall::DecimalText(watts, 0)}; }

Message TopicTable::hours(int n, std::int64_t litMs) const {
    return {prefix_ + "/lampa/" + std::to_string(n) + "/godziny",
            hall::DecimalText(static_cast<double>(litMs) / hall::kMsPerHour, 2)};
}

Message TopicTable::failure(int n, bool failed) const {
    return {prefix_ + "/lampa/" + std::to_string(n) + "/awaria", failed ? "ON" : "OFF"};
}

}  // namespace sterownik
