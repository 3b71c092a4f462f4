#pragma once

#include "events.h"
#include "hall_view.h"

#include <modbus/modbus.h>

#include <array>
#include <cstdint>
#include <optional>

namespace sterownik {

// The register map the hall is served by (addresses as on the wire, any unit id):
//   coils 0–107              lamp 1–108 lit; a write switches those lamps, several at once as one switch
//   discrete inputs 0–7      zone 1–8 held
//   input registers 0, 1, 2  lamps lit; zones held, bit k−1 for zone k; Modbus devices not answering
//   holding register 0       the last scene switched by it, 0 after all off and at start;
//                            1–8 switch to that scene as a key does, 0 switches all off
// Reads and the writes' own checks are libmodbus's, over a mapping of exactly
// these sizes, so that an address outside the map gets exception 02.
class BmsMap {
public:
    static constexpr int kCoils = hall::kLampCount;
    static constexpr int kDiscreteInputs = hall::kSensorCount;
    static constexpr int kInputRegisters = 3;
    static constexpr int kHoldingRegisters = 1;

    // The exception a request gets before libmodbus answers it, or 0:
    // 01 for every write when read only, and for the functions that write and
    // read at once; 03 for a scene register value other than 0 to 8.
    // `pdu` is the request from its function code on.
    static int Refusal(const std::uint8_t* pdu, int length, bool readOnly);

    // The mapping as the hall is now.
    void fill(modbus_mapping_t& mapping, const HallView& view) const;
    // What a write that libmodbus took into the mapping switches: the coils it
    // changed as one switch, or the scene register's command.
    std::optional<Event> written(const std::uint8_t* pdu, int length, const modbus_mapping_t& mapping,
                                 const HallView& view);
    int scene() const { return scene_; }

private:
    int scene_ = 0;
};

}  // namespace sterownik
