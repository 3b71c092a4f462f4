// The hall's controller: motion sensors, wall keys and the switch-off delay
// carried out on ../actual.txt, the lamps driven over MQTT. Runs in the
// hall's konfigurator/ directory until SIGTERM or SIGINT.
#include "broker_link.h"
#include "controller.h"
#include "controller_config.h"
#include "discovery.h"
#include "event_loop.h"
#include "line_file.h"
#include "topics.h"

#include <mosquitto.h>
#include <signal.h>

#include <iostream>
#include <system_error>

namespace {

// A password file holds one line; a longer one is no password.
constexpr std::size_t kPasswordLimit = 4 * 1024;

int ConfigurationError(const std::string& error) {
    std::cerr << "sterownik: " << error << '\n';
    return 2;
}

std::string HallDirectoryName() {
    std::error_code ec;
    const std::filesystem::path work = std::filesystem::current_path(ec);
    return ec ? std::string() : work.parent_path().filename().string();
}

// The library's own check, which the file reader cannot make: UTF-8, levels.
std::string BadTopic(const hall::ControllerConfig& config) {
    std::vector<std::string> topics(config.sensorTopics.begin(), config.sensorTopics.end());
    topics.insert(topics.end(), config.keyTopics.begin(), config.keyTopics.end());
    for (const hall::LampCommand& command : config.lampCommands) topics.push_back(command.topic);
    topics.push_back("hala/" + config.name);
    topics.push_back(config.discoveryPrefix);
    for (const std::string& topic : topics)
        if (!topic.empty() && (mosquitto_pub_topic_check2(topic.c_str(), topic.size()) != MOSQ_ERR_SUCCESS ||
                               mosquitto_validate_utf8(topic.c_str(), static_cast<int>(topic.size())) != MOSQ_ERR_SUCCESS))
            return hall::kControllerConfigPath.string() + ": temat \"" + hall::QuotedForLog(topic) +
                   "\" nie jest poprawnym tematem MQTT";
    return "";
}

bool ReadPassword(const hall::ControllerConfig& config, std::string& password) {
    if (config.passwordFile.empty()) return true;
    const std::optional<std::string> line = hall::ReadFirstLine(config.passwordFile, kPasswordLimit);
    if (!line) return false;
    password = line->substr(0, line->find('\n'));
    return true;
}

}  // namespace

int main() {
    const hall::ControllerConfigRead read = hall::ReadControllerConfig(hall::kControllerConfigPath, HallDirectoryName());
    if (!read.error.empty()) return ConfigurationError(read.error);
    const hall::ControllerConfig& config = read.config;
    if (const std::string bad = BadTopic(config); !bad.empty()) return ConfigurationError(bad);

    sterownik::LinkSettings settings{config.host, config.port, "sterownik/" + config.name, config.user, {},
                                     config.caFile.string(), config.certFile.string(), config.keyFile.string(), {}};
    if (!ReadPassword(config, settings.password))
        return ConfigurationError("nie można odczytać pliku hasła " + config.passwordFile.string());

    ::signal(SIGPIPE, SIG_IGN);
    mosquitto_lib_init();
    const sterownik::TopicTable topics(config);
    settings.will = topics.availability(false);
    sterownik::Controller controller(topics, sterownik::Discovery(config, STEROWNIK_VERSION), std::cout);
    int status = 0;
    {
        sterownik::BrokerLink link(settings, controller, std::cout);
        std::string error;
        if (!link.setUp(error)) {
            mosquitto_lib_cleanup();
            return ConfigurationError(error);
        }
        controller.attach(link);
        std::cout << "sterownik hali " << config.name << ", broker " << config.host << ":" << config.port << std::endl;
        controller.start(sterownik::Clock::now());
        status = sterownik::RunLoop(controller, link, topics.availability(false), std::cout);
    }
    mosquitto_lib_cleanup();
    return status;
}
