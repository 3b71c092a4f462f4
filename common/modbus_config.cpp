#include "modbus_config.h"

#include "scene_files.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <tuple>

namespace hall {
namespace {

using config::LampList;
using config::Number;
using config::Words;

Unexpected<std::string> Bad(std::string reason) { return Unexpected(std::move(reason)); }

bool IsDeviceName(std::string_view name) {
    return !name.empty() && name.size() <= 64 && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
    });
}

// The options after a device's address: "jednostka N", "odpytywanie MS", "limit MS", each at most once.
Status TakeDeviceOptions(const Words& words, ModbusDevice& device) {
    std::set<std::string_view> seen;
    for (std::size_t i = 3; i < words.size(); i += 2) {
        if (i + 1 >= words.size()) return Bad("brak wartości po " + QuotedForLog(words[i]));
        if (!seen.insert(words[i]).second) return Bad("powtórzone " + QuotedForLog(words[i]));
        const std::string_view key = words[i], value = words[i + 1];
        std::optional<int> number;
        if (key == "jednostka")
            number = Number(value, 0, 255), device.unit = number.value_or(0);
        else if (key == "odpytywanie")
            number = Number(value, 5, 60'000), device.pollMs = number.value_or(0);
        else if (key == "limit")
            number = Number(value, 10, 60'000), device.timeoutMs = number.value_or(0);
        else
            return Bad("nieznana opcja " + QuotedForLog(key));
        if (!number) return Bad("zła wartość " + QuotedForLog(key));
    }
    return {};
}

Status TakeDevice(const Words& words, ModbusDevice& device) {
    if (words.size() < 3) return Bad("oczekiwano nazwy i adresu urządzenia");
    if (!IsDeviceName(words[1])) return Bad("zła nazwa urządzenia");
    const auto address = config::HostAndPort(words[2], kModbusPort);
    if (!address) return Bad("zły adres urządzenia");
    device.name = std::string(words[1]);
    std::tie(device.host, device.port) = *address;
    return TakeDeviceOptions(words, device);
}

Status TakeOutput(const Words& words, ModbusOutput& output) {
    const bool registers = words[0] == "rejestry";
    if (words.size() != 4 && !(registers && words.size() == 6))
        return Bad(registers ? "oczekiwano urządzenia, adresu, lamp i, nieobowiązkowo, dwóch wartości"
                             : "oczekiwano urządzenia, adresu i lamp");
    output.kind = registers             ? ModbusOutputKind::Registers
                  : words[0] == "obwod" ? ModbusOutputKind::Circuit
                                        : ModbusOutputKind::Coils;
    output.device = std::string(words[1]);
    const std::optional<int> address = Number(words[2], 0, kModbusAddressLimit);
    if (!address) return Bad("zły adres");
    output.address = *address;
    const std::optional<std::vector<int>> lamps = LampList(words[3]);
    if (!lamps) return Bad("zła lista lamp");
    output.lamps = *lamps;
    const int span = output.kind == ModbusOutputKind::Circuit ? 1 : static_cast<int>(lamps->size());
    if (output.address + span - 1 > kModbusAddressLimit) return Bad("adres ponad 65535");
    if (words.size() == 6) {
        const std::optional<int> on = Number(words[4], 0, 65535), off = Number(words[5], 0, 65535);
        if (!on || !off) return Bad("zła wartość rejestru");
        output.on = *on, output.off = *off;
    }
    return {};
}

Status TakeInput(const Words& words, ModbusInput& input) {
    if (words.size() != 5) return Bad("oczekiwano urządzenia, adresu i czujnika K albo klawisza");
    input.device = std::string(words[1]);
    const std::optional<int> address = Number(words[2], 0, kModbusAddressLimit);
    if (!address) return Bad("zły adres");
    input.address = *address;
    input.sensor = words[3] == "czujnik";
    if (input.sensor) {
        const std::optional<int> k = Number(words[4], 1, kSensorCount);
        if (!k) return Bad("zły numer wejścia czujnika");
        input.index = *k;
    } else if (words[3] == "klawisz") {
        const std::optional<int> key = KeyIndex(words[4]);
        if (!key) return Bad("zły klawisz");
        input.index = *key;
    } else {
        return Bad("oczekiwano czujnik albo klawisz");
    }
    return {};
}

Status TakeWatch(const Words& words, ModbusLampWatch& watch) {
    watch.readBack = words[0] == "zwrotne";
    if (watch.readBack && words.size() == 5 && words[4] == "wejsciowe") return Bad("\"wejsciowe\" tylko w awarie");
    if (words.size() != 4 && !(!watch.readBack && words.size() == 5))
        return Bad(watch.readBack ? "oczekiwano urządzenia, adresu i lamp"
                                  : "oczekiwano urządzenia, adresu, lamp i, nieobowiązkowo, \"wejsciowe\"");
    if (words.size() == 5 && words[4] != "wejsciowe") return Bad("oczekiwano \"wejsciowe\" po lampach");
    watch.inputRegisters = words.size() == 5;
    watch.device = std::string(words[1]);
    const std::optional<int> address = Number(words[2], 0, kModbusAddressLimit);
    if (!address) return Bad("zły adres");
    watch.address = *address;
    const std::optional<std::vector<int>> lamps = LampList(words[3]);
    if (!lamps) return Bad("zła lista lamp");
    watch.lamps = *lamps;
    if (watch.address + WatchSpan(watch) - 1 > kModbusAddressLimit) return Bad("adres ponad 65535");
    return {};
}

// The BMS server's keys take one value each.
Status OneValue(const Words& words) {
    if (words.size() != 2) return Bad("oczekiwano jednej wartości");
    return {};
}

// Each output's addresses, of the coils or of the registers of its device.
std::vector<int> Addresses(const ModbusOutput& output) {
    const int span = output.kind == ModbusOutputKind::Circuit ? 1 : static_cast<int>(output.lamps.size());
    std::vector<int> addresses;
    for (int i = 0; i < span; ++i) addresses.push_back(output.address + i);
    return addresses;
}

// One line into its list, with the line its errors will name.
template <class Item>
Status TakeInto(const Words& words, const SourceLine& line, std::vector<Item>& list,
                Status (*take)(const Words&, Item&)) {
    Item item;
    item.line = line;
    if (Status taken = take(words, item); !taken) return taken;
    list.push_back(std::move(item));
    return {};
}

}  // namespace

Status TakeModbusDevice(const Words& words, const SourceLine& line, ModbusConfig& config) {
    return TakeInto(words, line, config.devices, TakeDevice);
}

Status TakeModbusOutput(const Words& words, const SourceLine& line, ModbusConfig& config) {
    return TakeInto(words, line, config.outputs, TakeOutput);
}

Status TakeModbusInput(const Words& words, const SourceLine& line, ModbusConfig& config) {
    return TakeInto(words, line, config.inputs, TakeInput);
}

Status TakeModbusLampWatch(const Words& words, const SourceLine& line, ModbusConfig& config) {
    return TakeInto(words, line, config.watches, TakeWatch);
}

int WatchSpan(const ModbusLampWatch& watch) {
    const int lamps = static_cast<int>(watch.lamps.size());
    return watch.readBack ? lamps : (lamps + kLampsPerRegister - 1) / kLampsPerRegister;
}

Status TakeBmsAddress(const Words& words, BmsServerConfig& server) {
    if (Status one = OneValue(words); !one) return one;
    const auto address = config::HostAndPort(words[1], kModbusPort);
    if (!address) return Bad("zły adres serwera");
    server.on = true;
    std::tie(server.host, server.port) = *address;
    return {};
}

Status TakeBmsClient(const Words& words, const SourceLine& line, BmsServerConfig& server) {
    if (Status one = OneValue(words); !one) return one;
    if (words[1].find('\0') != std::string_view::npos) return Bad("zły adres klienta");
    server.clients.emplace_back(std::string(words[1]), line);
    return {};
}

Status TakeBmsReadOnly(const Words& words, BmsServerConfig& server) {
    if (Status one = OneValue(words); !one) return one;
    if (words[1] != "tak" && words[1] != "nie") return Bad("zła wartość");
    server.readOnly = words[1] == "tak";
    return {};
}

Status CheckModbus(const ModbusConfig& config) {
    std::set<std::string, std::less<>> devices;
    for (const ModbusDevice& device : config.devices)
        if (!devices.insert(device.name).second) return Bad(LineError(device.line, "urządzenie powtórzone"));
    const auto known = [&](const std::string& name) { return devices.contains(name); };
    std::set<int> lamps;
    std::set<std::tuple<std::string, bool, int>> outputAddresses;  // device, registers, address
    for (const ModbusOutput& output : config.outputs) {
        if (!known(output.device)) return Bad(LineError(output.line, "nieznane urządzenie"));
        for (const int lamp : output.lamps)
            if (!lamps.insert(lamp).second)
                return Bad(LineError(output.line, "lampa " + std::to_string(lamp) + " już przypisana"));
        const bool registers = output.kind == ModbusOutputKind::Registers;
        for (const int address : Addresses(output))
            if (!outputAddresses.insert({output.device, registers, address}).second)
                return Bad(LineError(output.line, "adres " + std::to_string(address) + " już użyty"));
    }
    std::set<std::pair<std::string, int>> inputAddresses;
    for (const ModbusInput& input : config.inputs) {
        if (!known(input.device)) return Bad(LineError(input.line, "nieznane urządzenie"));
        if (!inputAddresses.insert({input.device, input.address}).second)
            return Bad(LineError(input.line, "wejście już przypisane"));
    }
    std::set<std::pair<bool, int>> watched;  // readBack, lamp
    for (const ModbusLampWatch& watch : config.watches) {
        if (!known(watch.device)) return Bad(LineError(watch.line, "nieznane urządzenie"));
        for (const int lamp : watch.lamps)
            if (!watched.insert({watch.readBack, lamp}).second)
                return Bad(LineError(watch.line, "lampa " + std::to_string(lamp) + " już obserwowana"));
    }
    return {};
}

}  // namespace hall
