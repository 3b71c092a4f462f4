#include "controller_config.h"

#include "config_keys.h"
#include "config_words.h"
#include "line_file.h"

#include <system_error>
#include <vector>

namespace hall {
namespace {

constexpr std::size_t kConfigLimit = 64 * 1024;

Unexpected<std::string> Bad(std::string reason) { return Unexpected(std::move(reason)); }

Status Take(const config::Words& words, ConfigReading& reading) {
    const ConfigKey* key = FindConfigKey(words[0]);
    if (!key) return Bad("nieznany klucz");
    if (key->count == KeyCount::Once && !reading.firstTime(std::string(key->name))) return Bad("klucz powtórzony");
    return key->read(words, reading);
}

template <typename Lines>
Result<ControllerConfig> ParseLines(const Lines& lines, std::string_view defaultName) {
    ControllerConfig config;
    config.name = std::string(defaultName);
    ConfigReading reading{config, {}, {}, {}, {}};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const config::Words words = config::SplitWords(lines[i]);
        if (words.empty()) continue;
        reading.line = {i + 1, std::string(lines[i])};
        if (const Status taken = Take(words, reading); !taken) return Bad(LineError(reading.line, taken.error()));
    }
    if (!IsValidHallName(config.name))
        return Bad("nazwa hali \"" + QuotedForLog(config.name) +
                   "\" nie nadaje się na temat MQTT: podaj ją kluczem nazwa w " + kControllerConfigPath.string());
    if (config.certFile.empty() != config.keyFile.empty())
        return Bad(kControllerConfigPath.string() + ": tls_certyfikat i tls_klucz podaje się razem");
    if (config.panel.certFile.empty() != config.panel.keyFile.empty())
        return Bad(kControllerConfigPath.string() + ": panel_certyfikat i panel_klucz podaje się razem");
    if (const Status modbus = CheckModbus(config.modbus); !modbus) return Bad(modbus.error());
    return config;
}

}  // namespace

bool IsValidHallName(std::string_view name) {
    return !name.empty() && name.front() != '/' && name.back() != '/' &&
           name.find_first_of(std::string_view("+#\0", 3)) == std::string_view::npos && name.size() <= kTopicLimit;
}

std::string HallTopic(const ControllerConfig& config) {
    return (config.topicPrefix.empty() ? "" : config.topicPrefix + "/") + "hala/" + config.name;
}

Result<ControllerConfig> ParseControllerConfig(std::string_view text, std::string_view defaultName) {
    std::vector<std::string_view> lines;
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (line.ends_with('\r')) line.remove_suffix(1);
        lines.push_back(line);
        start = end + 1;
    }
    return ParseLines(lines, defaultName);
}

Result<ControllerConfig> ReadControllerConfig(const std::filesystem::path& file, std::string_view defaultName) {
    std::error_code ec;
    if (!std::filesystem::exists(std::filesystem::symlink_status(file, ec)))
        return ParseControllerConfig("", defaultName);
    const os::SysResult<std::vector<std::string>> lines = ReadLines(file, kConfigLimit);
    if (!lines && lines.error() == std::errc::file_too_large)
        return Bad("nie można odczytać pliku " + file.string() + " (najwyżej 64 KiB)");
    if (!lines) return Bad("nie można odczytać pliku " + file.string() + ": " + lines.error().message());
    return ParseLines(*lines, defaultName);
}

}  // namespace hall
