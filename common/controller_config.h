#pragma once

#include "config_line.h"
#include "lamp_state.h"
#include "ledger_records.h"
#include "modbus_config.h"
#include "result.h"
#include "scene_files.h"

#include <array>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace hall {

// What MQTT allows for a topic, in bytes.
inline constexpr std::size_t kTopicLimit = 65535;

// Where the controller publishes a lamp's state besides its own topic: a
// relay module's command topic and the payloads it takes.
struct LampCommand {
    std::string topic;  // empty: none
    std::string on = "ON";
    std::string off = "OFF";
    bool operator==(const LampCommand&) const = default;
};

// The web panel for the hall's floor; off without a port.
struct PanelConfig {
    std::optional<int> port;
    std::string address;  // empty: every address of the machine
    // HTTPS only when both are given.
    std::filesystem::path certFile, keyFile;
    bool preview = false;  // a browser without login may watch, never command
    bool operator==(const PanelConfig&) const = default;
};

struct ControllerConfig {
    bool useBroker = true;  // "broker brak": the hall runs on its Modbus devices alone
    std::string host = "127.0.0.1";
    int port = 1883;
    std::string name;  // NAZWA in hala/NAZWA
    // What goes before hala/NAZWA, so that a site's halls keep names of their
    // own under one central broker; empty: nothing.
    std::string topicPrefix;
    std::string user;
    std::filesystem::path passwordFile;
    std::filesystem::path caFile, certFile, keyFile;
    // A device's own topic in place of the default; empty: the default.
    std::array<std::string, kSensorCount> sensorTopics;
    std::array<std::string, kKeyCount> keyTopics;
    std::array<LampCommand, kLampCount> lampCommands;
    // Home Assistant's discovery: published under the prefix when on,
    // removed from it when off.
    bool discovery = true;
    std::string discoveryPrefix = "homeassistant";
    // Where each device topic was given, for the checks that only the
    // controller can make; an error then names the line as the reader's do.
    std::map<std::string, SourceLine, std::less<>> topicLines;
    ModbusConfig modbus;
    // The ledger of the lamps' hours, switch-ons, energy and failures; nothing: none kept.
    std::optional<std::filesystem::path> ledgerFile = kLedgerPath;
    // Each lamp's rated power in watts and rated life in hours; nothing: not given.
    std::array<std::optional<double>, kLampCount> lampWatts{};
    std::array<std::optional<double>, kLampCount> ratedHours{};
    PanelConfig panel;
    bool operator==(const ControllerConfig&) const = default;
};

// Not empty, no "+", "#" or NUL, no "/" at either end.
bool IsValidHallName(std::string_view name);

// P, the root of the hall's topics: hala/NAZWA, or PREFIKS/hala/NAZWA.
std::string HallTopic(const ControllerConfig& config);

// "klucz wartość" lines; a "#" at the start of a word begins a comment, blank
// lines are skipped. Keys (config_keys.h holds their table):
//   broker HOST[:PORT] | brak          ([IPv6]:PORT too; 1883 by default; brak: no broker)
//   nazwa NAZWA                        (by default `defaultName`)
//   uzytkownik NAZWA                   plik_hasla PLIK
//   tls_ca PLIK                        tls_certyfikat PLIK   tls_klucz PLIK
//   czujnik K TEMAT                    (K 1..8)
//   klawisz A1..F4 TEMAT
//   lampa N TEMAT [WŁĄCZ WYŁĄCZ]       (N 1..108; ON and OFF by default)
//   wykrywanie tak|nie                 (tak by default)
//   prefiks_wykrywania PREFIKS         (homeassistant by default; no "/" at either end)
//   prefiks_tematow PREFIKS            (none by default; no "/" at either end)
//   dziennik PLIK | brak               (dziennik.sqlite by default; brak: no ledger)
//   moc LAMPY WATY                     (a later line wins for a lamp)
//   zywotnosc GODZINY [LAMPY]          (every lamp without a list)
//   panel [ADRES:]PORT                 (no panel without it; every address without ADRES)
//   panel_certyfikat PLIK              panel_klucz PLIK      (both: HTTPS only)
//   panel_podglad tak|nie              (nie by default; tak: watching without login)
//   and the Modbus devices and their outputs and inputs (modbus_config.h)
// A key given twice, an unknown key, a bad value, or a topic used for two
// inputs, or shared by a lamp and an input, is an error naming the line's
// number and text.
Result<ControllerConfig> ParseControllerConfig(std::string_view text, std::string_view defaultName);

// Defaults when the file is missing; an error when it exists but cannot be
// read or exceeds 64 KiB.
Result<ControllerConfig> ReadControllerConfig(const std::filesystem::path& file, std::string_view defaultName);

}  // namespace hall
