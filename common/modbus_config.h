#pragma once

#include "config_line.h"
#include "config_words.h"
#include "result.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace hall {

inline constexpr int kModbusPort = 502;
inline constexpr int kModbusAddressLimit = 65535;

// A Modbus TCP module of the hall:
//   modbus NAZWA HOST[:PORT] [jednostka N] [odpytywanie MS] [limit MS]
struct ModbusDevice {
    std::string name;  // letters, digits, "_" and "-"
    std::string host;
    int port = kModbusPort;
    int unit = 1;         // 0 to 255
    int pollMs = 20;      // the inputs read this often, at least 5 ms
    int timeoutMs = 500;  // a reply later than this is none
    SourceLine line;
    bool operator==(const ModbusDevice&) const = default;
};

// Lamps on a device's outputs, addresses as on the wire:
//   cewki NAZWA ADRES LAMPY       one coil per lamp, from ADRES up, in the order listed
//   obwod NAZWA ADRES LAMPY       one coil on while any of the lamps is lit
//   rejestry NAZWA ADRES LAMPY [WŁĄCZ WYŁĄCZ]   one holding register per lamp, 1 and 0 by default
enum class ModbusOutputKind { Coils, Circuit, Registers };
struct ModbusOutput {
    ModbusOutputKind kind = ModbusOutputKind::Coils;
    std::string device;
    int address = 0;
    std::vector<int> lamps;  // 1 to 108; "1-16", "1,3,5-9"
    int on = 1, off = 0;     // a register's values
    SourceLine line;
    bool operator==(const ModbusOutput&) const = default;
};

// One discrete input: wejscie NAZWA ADRES czujnik K | klawisz A1
struct ModbusInput {
    std::string device;
    int address = 0;
    bool sensor = false;
    int index = 0;  // the sensor input 1 to 8, or the key 0 (A1) to 23 (F4)
    SourceLine line;
    bool operator==(const ModbusInput&) const = default;
};

// Lamp failures, read from a device every second:
//   awarie NAZWA ADRES LAMPY [wejsciowe]   one bit per lamp from ADRES up, 16 a register, bit 0 the first
//                                         lamp listed; 1 a failure (as DALI gateways show them); holding
//                                         registers, or input registers with "wejsciowe"
//   zwrotne NAZWA ADRES LAMPY              one discrete input per lamp, its real state (a contactor's
//                                         auxiliary contact)
struct ModbusLampWatch {
    bool readBack = false;  // zwrotne
    bool inputRegisters = false;
    std::string device;
    int address = 0;
    std::vector<int> lamps;  // as in the outputs' lines
    SourceLine line;
    bool operator==(const ModbusLampWatch&) const = default;
};
inline constexpr int kLampsPerRegister = 16;
// How many registers (awarie) or inputs (zwrotne) a watch reads from its address.
int WatchSpan(const ModbusLampWatch& watch);

// The hall served to the building management system:
//   serwer_modbus ADRES:PORT     on, listening there (or on the socket systemd hands over)
//   klient_modbus ADRES          only these clients (repeatable; 127.0.0.1 and ::1 without the line)
//   tylko_odczyt tak|nie         every write refused
struct BmsServerConfig {
    bool on = false;
    std::string host;
    int port = kModbusPort;
    std::vector<std::pair<std::string, SourceLine>> clients;  // as written, checked by the server
    bool readOnly = false;
    bool operator==(const BmsServerConfig&) const = default;
};

struct ModbusConfig {
    std::vector<ModbusDevice> devices;
    std::vector<ModbusOutput> outputs;
    std::vector<ModbusInput> inputs;
    std::vector<ModbusLampWatch> watches;
    BmsServerConfig server;
    bool operator==(const ModbusConfig&) const = default;
};

// The readers of the lines above: each takes a line of its key (the words,
// the key first) or says why it cannot (the reason alone: the caller names
// the line). modbus:
Status TakeModbusDevice(const config::Words& words, const SourceLine& line, ModbusConfig& config);
// cewki, obwod, rejestry:
Status TakeModbusOutput(const config::Words& words, const SourceLine& line, ModbusConfig& config);
// wejscie:
Status TakeModbusInput(const config::Words& words, const SourceLine& line, ModbusConfig& config);
// awarie, zwrotne:
Status TakeModbusLampWatch(const config::Words& words, const SourceLine& line, ModbusConfig& config);
// serwer_modbus, klient_modbus, tylko_odczyt:
Status TakeBmsAddress(const config::Words& words, BmsServerConfig& server);
Status TakeBmsClient(const config::Words& words, const SourceLine& line, BmsServerConfig& server);
Status TakeBmsReadOnly(const config::Words& words, BmsServerConfig& server);
// What only the whole file tells: a mapping names a device that no line
// declares, a lamp mapped twice, one output or input address used twice, a
// lamp in two failure lines of one kind.
// The error names the line.
Status CheckModbus(const ModbusConfig& config);

}  // namespace hall
