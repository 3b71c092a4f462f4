#include "controller_config.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

bool Exact(const std::string& topic) { return topic.find_first_of(std::string_view("+#\0", 3)) == std::string::npos; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const hall::Result<hall::ControllerConfig> read = hall::ParseControllerConfig(text, "hala");
    // An error is one line, free of control bytes.
    if (!read) {
        for (const char c : read.error())
            if (static_cast<unsigned char>(c) < 0x20) std::abort();
        return 0;
    }
    const hall::ControllerConfig& config = *read;
    if (!hall::IsValidHallName(config.name) || config.host.empty() || config.port < 1 || config.port > 65535)
        std::abort();
    for (const std::string& topic : config.sensorTopics)
        if (!Exact(topic)) std::abort();
    for (const std::string& topic : config.keyTopics)
        if (!Exact(topic)) std::abort();
    for (const hall::LampCommand& command : config.lampCommands)
        if (!Exact(command.topic)) std::abort();
    return 0;
}
