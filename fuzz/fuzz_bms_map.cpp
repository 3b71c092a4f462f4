#include "bms_map.h"

#include <cstdint>
#include <cstdlib>

// A request of the building's management system as the server hands it over
// (libmodbus framed it, nothing else): the first byte chooses read-only mode
// and the lamps lit, the rest is the request from its function code on.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    const bool readOnly = data[0] & 1;
    const std::uint8_t* pdu = data + 1;
    const int length = static_cast<int>(size - 1);
    const int refusal = sterownik::BmsMap::Refusal(pdu, length, readOnly);
    if (refusal != 0 && refusal != MODBUS_EXCEPTION_ILLEGAL_FUNCTION && refusal != MODBUS_EXCEPTION_ILLEGAL_DATA_VALUE)
        std::abort();
    static modbus_mapping_t* const mapping =
        modbus_mapping_new(sterownik::BmsMap::kCoils, sterownik::BmsMap::kDiscreteInputs,
                           sterownik::BmsMap::kHoldingRegisters, sterownik::BmsMap::kInputRegisters);
    sterownik::BmsMap map;
    sterownik::HallView view;
    for (int i = 0; i < hall::kLampCount; ++i) view.lamps[i] = data[0] & 2;
    map.fill(*mapping, view);
    // Coils as a write might have left them.
    for (int i = 0; i < length && i < hall::kLampCount; ++i) mapping->tab_bits[i] = pdu[i] & 1;
    if (refusal == 0) {
        const std::optional<sterownik::Event> event = map.written(pdu, length, *mapping, view);
        if (const auto* lamp = event ? std::get_if<sterownik::SetLamp>(&*event) : nullptr)
            if (lamp->lamp < 1 || lamp->lamp > hall::kLampCount) std::abort();
        if (const auto* scene = event ? std::get_if<sterownik::SetScene>(&*event) : nullptr)
            if (scene->scene < 1 || scene->scene > hall::kSceneCount) std::abort();
    }
    if (map.scene() < 0 || map.scene() > hall::kSceneCount) std::abort();
    return 0;
}
