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
hall::Status CheckTopics(const hall::ControllerConfig& config) {
    std::vector<std::string> topics(config.sensorTopics.begin(), config.sensorTopics.end());
    topics.insert(topics.end(), config.keyTopics.begin(), config.keyTopics.end());
    for (const hall::LampCommand& command : config.lampCommands) topics.push_back(command.topic);
    topics.push_back("hala/" + config.name);
    topics.push_back(config.discoveryPrefix);
    for (const std::string& topic : topics)
        if (!topic.empty() &&
            (mosquitto_pub_topic_check2(topic.c_str(), topic.size()) != MOSQ_ERR_SUCCESS ||
             mosquitto_validate_utf8(topic.c_str(), static_cast<int>(topic.size())) != MOSQ_ERR_SUCCESS))
            return hall::Unexpected(hall::kControllerConfigPath.string() + ": temat \"" + hall::QuotedForLog(topic) +
                                    "\" nie jest poprawnym tematem MQTT");
    return {};
}

hall::Result<std::string> ReadPassword(const hall::ControllerConfig& config) {
    if (config.passwordFile.empty()) return std::string();
    const std::optional<std::string> line = hall::ReadFirstLine(config.passwordFile, kPasswordLimit);
    if (!line) return hall::Unexpected("nie można odczytać pliku hasła " + config.passwordFile.string());
    return line->substr(0, line->find('\n'));
}

}  // namespace

int main() {
    const hall::Result<hall::ControllerConfig> read =
        hall::ReadControllerConfig(hall::kControllerConfigPath, HallDirectoryName());
    if (!read) return ConfigurationError(read.error());
    const hall::ControllerConfig& config = *read;
    if (const hall::Status topics = CheckTopics(config); !topics) return ConfigurationError(topics.error());
    const hall::Result<std::string> password = ReadPassword(config);
    if (!password) return ConfigurationError(password.error());

    sterownik::LinkSettings settings;
    settings.host = config.host;
    settings.port = config.port;
    settings.clientId = "sterownik/" + config.name;
    settings.user = config.user;
    settings.password = *password;
    settings.caFile = config.caFile.string();
    settings.certFile = config.certFile.string();
    settings.keyFile = config.keyFile.string();

    ::signal(SIGPIPE, SIG_IGN);
    mosquitto_lib_init();
    const sterownik::TopicTable topics(config);
    settings.will = topics.availability(false);
    sterownik::Controller controller(topics, sterownik::Discovery(config, STEROWNIK_VERSION), std::cout);
    int status = 0;
    {
        sterownik::BrokerLink link(settings, controller, std::cout);
        if (const hall::Status ready = link.setUp(); !ready) {
            mosquitto_lib_cleanup();
            return ConfigurationError(ready.error());
        }
        controller.attach(link);
        std::cout << "sterownik hali " << config.name << ", broker " << config.host << ":" << config.port << std::endl;
        controller.start(sterownik::Clock::now());
        status = sterownik::RunLoop(controller, link, topics.availability(false), std::cout);
    }
    mosquitto_lib_cleanup();
    return status;
}
