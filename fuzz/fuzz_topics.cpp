#include "discovery.h"
#include "topics.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

// The input is a topic, a NUL and a payload, as a broker could hand them over;
// a payload on a sensor's topic may be zigbee2mqtt's JSON. The topic also
// serves as a hall name for the discovery's node id.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const sterownik::TopicTable table = [] {
        hall::ControllerConfig config;
        config.name = "hala";
        config.sensorTopics[1] = "modul/input/0";
        config.keyTopics[5] = "modul/input/1";
        return sterownik::TopicTable(config);
    }();
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\0');
    const std::string_view topic = input.substr(0, split);
    const std::string_view payload = split == std::string_view::npos ? std::string_view() : input.substr(split + 1);
    for (const bool retained : {false, true}) {
        const sterownik::Incoming incoming = table.read(topic, payload, retained);
        if (retained && !(incoming && !*incoming)) std::abort();
        // A quoted topic or payload never brings a control byte into the log.
        if (!incoming) {
            for (const char c : incoming.error())
                if (static_cast<unsigned char>(c) < 0x20) std::abort();
            continue;
        }
        if (!*incoming) continue;
        const sterownik::Event& event = **incoming;
        if (const auto* motion = std::get_if<sterownik::Motion>(&event))
            if (motion->input < 1 || motion->input > hall::kSensorCount) std::abort();
        if (const auto* key = std::get_if<sterownik::KeyPress>(&event))
            if (key->key < 0 || key->key >= hall::kKeyCount) std::abort();
        if (const auto* lamp = std::get_if<sterownik::SetLamp>(&event))
            if (lamp->lamp < 1 || lamp->lamp > hall::kLampCount) std::abort();
        if (const auto* scene = std::get_if<sterownik::SetScene>(&event))
            if (scene->scene < 1 || scene->scene > hall::kSceneCount) std::abort();
    }
    // Home Assistant takes nothing else in an id.
    for (const char c : sterownik::NodeId(topic))
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-'))
            std::abort();
    return 0;
}
