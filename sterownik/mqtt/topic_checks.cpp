#include "topic_checks.h"

#include "topics.h"

#include <mosquitto.h>

#include <string>
#include <vector>

namespace sterownik {
namespace {

// The library's own check: UTF-8, levels.
hall::Status CheckValid(const hall::ControllerConfig& config) {
    std::vector<std::string> topics(config.sensorTopics.begin(), config.sensorTopics.end());
    topics.insert(topics.end(), config.keyTopics.begin(), config.keyTopics.end());
    for (const hall::LampCommand& command : config.lampCommands) topics.push_back(command.topic);
    topics.push_back(hall::HallTopic(config));
    topics.push_back(config.discoveryPrefix);
    for (const std::string& topic : topics)
        if (!topic.empty() &&
            (mosquitto_pub_topic_check2(topic.c_str(), topic.size()) != MOSQ_ERR_SUCCESS ||
             mosquitto_validate_utf8(topic.c_str(), static_cast<int>(topic.size())) != MOSQ_ERR_SUCCESS))
            return hall::Unexpected(hall::kControllerConfigPath.string() + ": temat \"" + hall::QuotedForLog(topic) +
                                    "\" nie jest poprawnym tematem MQTT");
    return {};
}

hall::Status CheckNotOwn(const hall::ControllerConfig& config) {
    const std::vector<std::string> own = TopicTable(config).ownTopics();
    for (const auto& [topic, line] : config.topicLines) {
        for (const std::string& pattern : own) {
            bool matches = false;
            mosquitto_topic_matches_sub(pattern.c_str(), topic.c_str(), &matches);
            if (matches) return hall::Unexpected(hall::LineError(line, "to temat samego sterownika (" + pattern + ")"));
        }
    }
    return {};
}

}  // namespace

hall::Status CheckTopics(const hall::ControllerConfig& config) {
    if (const hall::Status valid = CheckValid(config); !valid) return valid;
    return CheckNotOwn(config);
}

}  // namespace sterownik
