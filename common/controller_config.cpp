#include "controller_config.h"

#include "config_words.h"
#include "line_file.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <system_error>
#include <tuple>
#include <vector>

namespace hall {
namespace {

constexpr std::size_t kConfigLimit = 64 * 1024;
// What MQTT allows for a topic, in bytes.
constexpr std::size_t kTopicLimit = 65535;

using config::Number;
using config::Words;

// A topic to subscribe or publish to exactly: no wildcards, no NUL.
bool IsExactTopic(std::string_view topic) {
    return !topic.empty() && topic.size() <= kTopicLimit &&
           topic.find_first_of(std::string_view("+#\0", 3)) == std::string_view::npos;
}

// HOST[:PORT], or "brak" for a hall run on its Modbus devices alone.
bool ParseBroker(std::string_view text, ControllerConfig& config) {
    if (text == "brak") {
        config.useBroker = false;
        return true;
    }
    const auto address = config::HostAndPort(text, config.port);
    if (!address) return false;
    std::tie(config.host, config.port) = *address;
    return true;
}

// One key's reader: its values (the words after the key) into the
// configuration, or why it cannot take them.
using KeyReader = std::function<Status(const Words& values, ControllerConfig& config)>;

Unexpected<std::string> Bad(std::string reason) { return Unexpected(std::move(reason)); }

Status OneValue(const Words& values, const std::function<bool(std::string_view)>& take) {
    if (values.size() != 1) return Bad("oczekiwano jednej wartości");
    if (!take(values[0])) return Bad("zła wartość");
    return {};
}

KeyReader PathKey(std::filesystem::path ControllerConfig::*member) {
    return [member](const Words& values, ControllerConfig& config) {
        return OneValue(values, [&](std::string_view v) {
            if (v.find('\0') != std::string_view::npos) return false;
            config.*member = std::filesystem::path(std::string(v));
            return true;
        });
    };
}

// The key's words: "czujnik 5", "klawisz A1", "lampa 10" are keys of their
// own, so that one input given twice is caught like any repeated key.
const std::map<std::string, KeyReader, std::less<>>& Readers() {
    static const std::map<std::string, KeyReader, std::less<>> readers = {
        {"broker",
         [](const Words& v, ControllerConfig& c) {
             return OneValue(v, [&](std::string_view text) { return ParseBroker(text, c); });
         }},
        {"nazwa",
         [](const Words& v, ControllerConfig& c) {
             return OneValue(v, [&](std::string_view text) {
                 c.name = std::string(text);
                 return IsValidHallName(text);
             });
         }},
        {"uzytkownik",
         [](const Words& v, ControllerConfig& c) {
             return OneValue(v, [&](std::string_view text) {
                 c.user = std::string(text);
                 return text.find('\0') == std::string_view::npos;
             });
         }},
        {"wykrywanie",
         [](const Words& v, ControllerConfig& c) {
             return OneValue(v, [&](std::string_view text) {
                 c.discovery = text == "tak";
                 return text == "tak" || text == "nie";
             });
         }},
        {"prefiks_wykrywania",
         [](const Words& v, ControllerConfig& c) {
             return OneValue(v, [&](std::string_view text) {
                 c.discoveryPrefix = std::string(text);
                 return IsExactTopic(text) && text.front() != '/' && text.back() != '/';
             });
         }},
        {"plik_hasla", PathKey(&ControllerConfig::passwordFile)},
        {"tls_ca", PathKey(&ControllerConfig::caFile)},
        {"tls_certyfikat", PathKey(&ControllerConfig::certFile)},
        {"tls_klucz", PathKey(&ControllerConfig::keyFile)},
    };
    return readers;
}

struct Reader {
    ControllerConfig& config;
    std::set<std::string, std::less<>> keysSeen;
    std::set<std::string, std::less<>> inputTopics;
    std::set<std::string, std::less<>> lampTopics;
    SourceLine line;

    Status take(const Words& words) {
        const std::string_view key = words[0];
        if (key == "czujnik" || key == "klawisz" || key == "lampa") return takeDevice(words);
        const bool once = key == "serwer_modbus" || key == "tylko_odczyt";
        if (once && !keysSeen.insert(std::string(key)).second) return Bad("klucz powtórzony");
        if (IsModbusKey(key)) return TakeModbusLine(words, line, config.modbus);
        const auto reader = Readers().find(key);
        if (reader == Readers().end()) return Bad("nieznany klucz");
        if (!keysSeen.insert(std::string(key)).second) return Bad("klucz powtórzony");
        return reader->second(Words(words.begin() + 1, words.end()), config);
    }

    Status takeDevice(const Words& words) {
        const std::string_view key = words[0];
        const bool lamp = key == "lampa";
        if (words.size() < 3 || words.size() > (lamp ? 5u : 3u) || words.size() == 4)
            return Bad(lamp ? "oczekiwano numeru lampy, tematu i, nieobowiązkowo, dwóch treści"
                            : "oczekiwano numeru i tematu");
        if (!keysSeen.insert(std::string(key) + " " + std::string(words[1])).second) return Bad("klucz powtórzony");
        const std::string_view topic = words[2];
        if (!IsExactTopic(topic)) return Bad("zły temat");
        std::string* slot = nullptr;
        if (key == "czujnik") {
            const std::optional<int> input = Number(words[1], 1, kSensorCount);
            if (!input) return Bad("zły numer wejścia czujnika");
            slot = &config.sensorTopics[*input - 1];
        } else if (key == "klawisz") {
            const std::optional<int> index = KeyIndex(words[1]);
            if (!index) return Bad("zły klawisz");
            slot = &config.keyTopics[*index];
        } else {
            const std::optional<int> n = Number(words[1], 1, kLampCount);
            if (!n) return Bad("zły numer lampy");
            LampCommand& command = config.lampCommands[*n - 1];
            if (words.size() == 5) command = {std::string(topic), std::string(words[3]), std::string(words[4])};
            slot = &command.topic;
        }
        // One topic gives one event: an input's topic serves no other input.
        if (!lamp && !inputTopics.insert(std::string(topic)).second) return Bad("temat użyty już dla innego wejścia");
        // A lamp's command heard as an input would switch the hall at every publication.
        if ((lamp ? inputTopics : lampTopics).contains(topic)) return Bad("temat wejścia i lampy zarazem");
        if (lamp) lampTopics.insert(std::string(topic));
        *slot = std::string(topic);
        config.topicLines.try_emplace(std::string(topic), line);
        return {};
    }
};

template <typename Lines>
Result<ControllerConfig> ParseLines(const Lines& lines, std::string_view defaultName) {
    ControllerConfig config;
    config.name = std::string(defaultName);
    Reader reader{config, {}, {}, {}, {}};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Words words = config::SplitWords(lines[i]);
        if (words.empty()) continue;
        reader.line = {i + 1, std::string(lines[i])};
        if (const Status taken = reader.take(words); !taken) return Bad(LineError(reader.line, taken.error()));
    }
    if (!IsValidHallName(config.name))
        return Bad("nazwa hali \"" + QuotedForLog(config.name) +
                   "\" nie nadaje się na temat MQTT: podaj ją kluczem nazwa w " + kControllerConfigPath.string());
    if (config.certFile.empty() != config.keyFile.empty())
        return Bad(kControllerConfigPath.string() + ": tls_certyfikat i tls_klucz podaje się razem");
    if (const Status modbus = CheckModbus(config.modbus); !modbus) return Bad(modbus.error());
    return config;
}

}  // namespace

bool IsValidHallName(std::string_view name) {
    return !name.empty() && name.front() != '/' && name.back() != '/' &&
           name.find_first_of(std::string_view("+#\0", 3)) == std::string_view::npos && name.size() <= kTopicLimit;
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
