#include "config_keys.h"

#include "controller_config.h"
#include "modbus_config.h"

#include <algorithm>
#include <array>
#include <tuple>

namespace hall {
namespace {

using config::Number;
using config::Words;

constexpr std::string_view kBrokerAtStart = "\"broker brak\" zmienia się tylko przy starcie";
constexpr std::string_view kLedgerAtStart = "dziennik zmienia się tylko przy starcie";
constexpr std::string_view kPanelAtStart = "panel zmienia się tylko przy starcie";
constexpr std::string_view kServerAtStart = "serwer Modbus zmienia się tylko przy starcie";

Unexpected<std::string> Bad(std::string reason) { return Unexpected(std::move(reason)); }

// A topic to subscribe or publish to exactly: no wildcards, no NUL.
bool IsExactTopic(std::string_view topic) {
    return !topic.empty() && topic.size() <= kTopicLimit &&
           topic.find_first_of(std::string_view("+#\0", 3)) == std::string_view::npos;
}

template <typename Take>
Status OneValue(const Words& words, Take take) {
    if (words.size() != 2) return Bad("oczekiwano jednej wartości");
    if (!take(words[1])) return Bad("zła wartość");
    return {};
}

// HOST[:PORT], or "brak" for a hall run on its Modbus devices alone.
Status ReadBroker(const Words& words, ConfigReading& r) {
    return OneValue(words, [&](std::string_view text) {
        if (text == "brak") {
            r.config.useBroker = false;
            return true;
        }
        const auto address = config::HostAndPort(text, r.config.port);
        if (!address) return false;
        std::tie(r.config.host, r.config.port) = *address;
        return true;
    });
}

Status ReadName(const Words& words, ConfigReading& r) {
    return OneValue(words, [&](std::string_view text) {
        r.config.name = std::string(text);
        return IsValidHallName(text);
    });
}

Status ReadUser(const Words& words, ConfigReading& r) {
    return OneValue(words, [&](std::string_view text) {
        r.config.user = std::string(text);
        return text.find('\0') == std::string_view::npos;
    });
}

template <std::filesystem::path ControllerConfig::*member>
Status ReadPath(const Words& words, ConfigReading& r) {
    return OneValue(words, [&](std::string_view text) {
        if (text.find('\0') != std::string_view::npos) return false;
        r.config.*member = std::filesystem::path(std::string(text));
        return true;
    });
}

Status ReadDiscovery(const Words& words, ConfigReading& r) {
    return OneValue(words, [&](std::string_view text) {
        r.config.discovery = text == "tak";
        return text == "tak" || text == "nie";
    });
}

bool IsTopicPrefix(std::string_view text) { return IsExactTopic(text) && text.front() != '/' && text.back() != '/'; }

Status ReadDiscoveryPrefix(const Words& words, ConfigReading& r) {
    return OneValue(words, [&](std::string_view text) {
        r.config.discoveryPrefix = std::string(text);
        return IsTopicPrefix(text);
    });
}

Status ReadTopicPrefix(const Words& words, ConfigReading& r) {
    return OneValue(words, [&](std::string_view text) {
        r.config.topicPrefix = std::string(text);
        return IsTopicPrefix(text);
    });
}

// An input's or a lamp's line: the key, the input, the topic, and for a lamp
// optionally its two payloads.
Status DeviceLine(const Words& words, ConfigReading& r) {
    const bool lamp = words[0] == "lampa";
    if (words.size() < 3 || words.size() > (lamp ? 5u : 3u) || words.size() == 4)
        return Bad(lamp ? "oczekiwano numeru lampy, tematu i, nieobowiązkowo, dwóch treści"
                        : "oczekiwano numeru i tematu");
    if (!r.firstTime(std::string(words[0]) + " " + std::string(words[1]))) return Bad("klucz powtórzony");
    if (!IsExactTopic(words[2])) return Bad("zły temat");
    return {};
}

// The topic into its slot, once checked against the topics of earlier lines.
Status TakeTopic(std::string_view topic, bool lamp, std::string& slot, ConfigReading& r) {
    // One topic gives one event: an input's topic serves no other input.
    if (!lamp && !r.inputTopics.insert(std::string(topic)).second) return Bad("temat użyty już dla innego wejścia");
    // A lamp's command heard as an input would switch the hall at every publication.
    if ((lamp ? r.inputTopics : r.lampTopics).contains(topic)) return Bad("temat wejścia i lampy zarazem");
    if (lamp) r.lampTopics.insert(std::string(topic));
    slot = std::string(topic);
    r.config.topicLines.try_emplace(std::string(topic), r.line);
    return {};
}

Status ReadSensorTopic(const Words& words, ConfigReading& r) {
    if (Status line = DeviceLine(words, r); !line) return line;
    const std::optional<int> input = Number(words[1], 1, kSensorCount);
    if (!input) return Bad("zły numer wejścia czujnika");
    return TakeTopic(words[2], false, r.config.sensorTopics[*input - 1], r);
}

Status ReadKeyTopic(const Words& words, ConfigReading& r) {
    if (Status line = DeviceLine(words, r); !line) return line;
    const std::optional<int> key = KeyIndex(words[1]);
    if (!key) return Bad("zły klawisz");
    return TakeTopic(words[2], false, r.config.keyTopics[*key], r);
}

Status ReadLampTopic(const Words& words, ConfigReading& r) {
    if (Status line = DeviceLine(words, r); !line) return line;
    const std::optional<int> n = Number(words[1], 1, kLampCount);
    if (!n) return Bad("zły numer lampy");
    LampCommand& command = r.config.lampCommands[*n - 1];
    if (words.size() == 5) command = {std::string(words[2]), std::string(words[3]), std::string(words[4])};
    return TakeTopic(words[2], true, command.topic, r);
}

Status ReadLedger(const Words& words, ConfigReading& r) {
    return OneValue(words, [&](std::string_view text) {
        if (text == "brak") {
            r.config.ledgerFile.reset();
            return true;
        }
        r.config.ledgerFile = std::filesystem::path(std::string(text));
        return text.find('\0') == std::string_view::npos;
    });
}

// A value for each lamp of a list; a later line wins for a lamp.
Status TakeLampValues(std::string_view lampList, double value, std::array<std::optional<double>, kLampCount>& slots) {
    const std::optional<std::vector<int>> lamps = config::LampList(lampList);
    if (!lamps) return Bad("zła lista lamp");
    for (const int n : *lamps) slots[n - 1] = value;
    return {};
}

// moc LAMPY WATY
Status ReadPower(const Words& words, ConfigReading& r) {
    if (words.size() != 3) return Bad("oczekiwano lamp i mocy w watach");
    const std::optional<double> watts = config::Decimal(words[2], 1e6);
    if (!watts) return Bad("zła moc");
    return TakeLampValues(words[1], *watts, r.config.lampWatts);
}

// zywotnosc GODZINY [LAMPY]
Status ReadLife(const Words& words, ConfigReading& r) {
    if (words.size() != 2 && words.size() != 3) return Bad("oczekiwano godzin i, nieobowiązkowo, lamp");
    const std::optional<int> hours = Number(words[1], 1, 10'000'000);
    if (!hours) return Bad("zła liczba godzin");
    return TakeLampValues(words.size() == 3 ? words[2] : "1-108", *hours, r.config.ratedHours);
}

// [ADRES:]PORT; a bare number is a port on every address.
Status ReadPanel(const Words& words, ConfigReading& r) {
    return OneValue(words, [&](std::string_view text) {
        PanelConfig& panel = r.config.panel;
        if (const std::optional<int> port = Number(text, 1, 65535)) {
            panel.port = *port;
            return true;
        }
        const auto address = config::HostAndPort(text, 0);
        if (!address || address->second == 0) return false;
        std::tie(panel.address, panel.port) = *address;
        return true;
    });
}

template <std::filesystem::path PanelConfig::*member>
Status ReadPanelPath(const Words& words, ConfigReading& r) {
    return OneValue(words, [&](std::string_view text) {
        if (text.find('\0') != std::string_view::npos) return false;
        r.config.panel.*member = std::filesystem::path(std::string(text));
        return true;
    });
}

Status ReadPanelPreview(const Words& words, ConfigReading& r) {
    return OneValue(words, [&](std::string_view text) {
        r.config.panel.preview = text == "tak";
        return text == "tak" || text == "nie";
    });
}

Status ReadDevice(const Words& words, ConfigReading& r) { return TakeModbusDevice(words, r.line, r.config.modbus); }
Status ReadOutput(const Words& words, ConfigReading& r) { return TakeModbusOutput(words, r.line, r.config.modbus); }
Status ReadInput(const Words& words, ConfigReading& r) { return TakeModbusInput(words, r.line, r.config.modbus); }
Status ReadWatch(const Words& words, ConfigReading& r) { return TakeModbusLampWatch(words, r.line, r.config.modbus); }
Status ReadServer(const Words& words, ConfigReading& r) { return TakeBmsAddress(words, r.config.modbus.server); }
Status ReadClient(const Words& words, ConfigReading& r) { return TakeBmsClient(words, r.line, r.config.modbus.server); }
Status ReadReadOnly(const Words& words, ConfigReading& r) { return TakeBmsReadOnly(words, r.config.modbus.server); }

// The broker's address may change on a reload, running without one may not:
// the parts a hall without a broker never started cannot be started later.
bool SameBrokerUse(const ControllerConfig& a, const ControllerConfig& b) { return a.useBroker == b.useBroker; }
// The BMS server is set up once, at start, on a socket that systemd may have
// bound to a privileged port for it; a reload does not set it up again.
bool SameServerAddress(const ControllerConfig& a, const ControllerConfig& b) {
    const BmsServerConfig &x = a.modbus.server, &y = b.modbus.server;
    return x.on == y.on && x.host == y.host && x.port == y.port;
}
// The panel's socket and certificate are taken once; whether it may be watched without login may change.
bool SamePanel(const ControllerConfig& a, const ControllerConfig& b) {
    const PanelConfig &x = a.panel, &y = b.panel;
    return x.port == y.port && x.address == y.address && x.certFile == y.certFile && x.keyFile == y.keyFile;
}
bool SameLedger(const ControllerConfig& a, const ControllerConfig& b) { return a.ledgerFile == b.ledgerFile; }
bool SameServerClients(const ControllerConfig& a, const ControllerConfig& b) {
    return a.modbus.server.clients == b.modbus.server.clients;
}
bool SameServerReadOnly(const ControllerConfig& a, const ControllerConfig& b) {
    return a.modbus.server.readOnly == b.modbus.server.readOnly;
}

constexpr std::optional<StartOnly> kReloads = std::nullopt;

const std::array<ConfigKey, 30> kKeys = {{
    {"broker", KeyCount::Once, ReadBroker, StartOnly{SameBrokerUse, kBrokerAtStart}},
    {"nazwa", KeyCount::Once, ReadName, kReloads},
    {"uzytkownik", KeyCount::Once, ReadUser, kReloads},
    {"plik_hasla", KeyCount::Once, ReadPath<&ControllerConfig::passwordFile>, kReloads},
    {"tls_ca", KeyCount::Once, ReadPath<&ControllerConfig::caFile>, kReloads},
    {"tls_certyfikat", KeyCount::Once, ReadPath<&ControllerConfig::certFile>, kReloads},
    {"tls_klucz", KeyCount::Once, ReadPath<&ControllerConfig::keyFile>, kReloads},
    {"czujnik", KeyCount::PerInput, ReadSensorTopic, kReloads},
    {"klawisz", KeyCount::PerInput, ReadKeyTopic, kReloads},
    {"lampa", KeyCount::PerInput, ReadLampTopic, kReloads},
    {"wykrywanie", KeyCount::Once, ReadDiscovery, kReloads},
    {"prefiks_wykrywania", KeyCount::Once, ReadDiscoveryPrefix, kReloads},
    {"prefiks_tematow", KeyCount::Once, ReadTopicPrefix, kReloads},
    {"dziennik", KeyCount::Once, ReadLedger, StartOnly{SameLedger, kLedgerAtStart}},
    {"moc", KeyCount::Many, ReadPower, kReloads},
    {"zywotnosc", KeyCount::Many, ReadLife, kReloads},
    {"modbus", KeyCount::Many, ReadDevice, kReloads},
    {"cewki", KeyCount::Many, ReadOutput, kReloads},
    {"obwod", KeyCount::Many, ReadOutput, kReloads},
    {"rejestry", KeyCount::Many, ReadOutput, kReloads},
    {"wejscie", KeyCount::Many, ReadInput, kReloads},
    {"awarie", KeyCount::Many, ReadWatch, kReloads},
    {"zwrotne", KeyCount::Many, ReadWatch, kReloads},
    {"serwer_modbus", KeyCount::Once, ReadServer, StartOnly{SameServerAddress, kServerAtStart}},
    {"klient_modbus", KeyCount::Many, ReadClient, StartOnly{SameServerClients, kServerAtStart}},
    {"tylko_odczyt", KeyCount::Once, ReadReadOnly, StartOnly{SameServerReadOnly, kServerAtStart}},
    {"panel", KeyCount::Once, ReadPanel, StartOnly{SamePanel, kPanelAtStart}},
    {"panel_certyfikat", KeyCount::Once, ReadPanelPath<&PanelConfig::certFile>, StartOnly{SamePanel, kPanelAtStart}},
    {"panel_klucz", KeyCount::Once, ReadPanelPath<&PanelConfig::keyFile>, StartOnly{SamePanel, kPanelAtStart}},
    {"panel_podglad", KeyCount::Once, ReadPanelPreview, kReloads},
}};

}  // namespace

std::span<const ConfigKey> ConfigKeys() { return kKeys; }

const ConfigKey* FindConfigKey(std::string_view name) {
    const auto key = std::find_if(kKeys.begin(), kKeys.end(), [&](const ConfigKey& k) { return k.name == name; });
    return key == kKeys.end() ? nullptr : &*key;
}

std::vector<std::string_view> ConfigKeyNames() {
    std::vector<std::string_view> names;
    for (const ConfigKey& key : kKeys) names.push_back(key.name);
    return names;
}

Status CheckReload(const ControllerConfig& running, const ControllerConfig& next) {
    for (const ConfigKey& key : kKeys)
        if (key.startOnly && !key.startOnly->same(running, next)) return Bad(std::string(key.startOnly->reason));
    return {};
}

}  // namespace hall
