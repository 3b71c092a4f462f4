#include "bms_map.h"

namespace sterownik {
namespace {

constexpr int kLastScene = hall::kSceneCount;

int Word(const std::uint8_t* at) { return at[0] << 8 | at[1]; }

bool Writes(int function) {
    return function == MODBUS_FC_WRITE_SINGLE_COIL || function == MODBUS_FC_WRITE_SINGLE_REGISTER ||
           function == MODBUS_FC_WRITE_MULTIPLE_COILS || function == MODBUS_FC_WRITE_MULTIPLE_REGISTERS ||
           function == MODBUS_FC_MASK_WRITE_REGISTER || function == MODBUS_FC_WRITE_AND_READ_REGISTERS;
}

// The value a request writes to holding register 0, when it writes one there.
std::optional<int> SceneWritten(const std::uint8_t* pdu, int length) {
    if (length >= 5 && pdu[0] == MODBUS_FC_WRITE_SINGLE_REGISTER && Word(pdu + 1) == 0) return Word(pdu + 3);
    if (length >= 8 && pdu[0] == MODBUS_FC_WRITE_MULTIPLE_REGISTERS && Word(pdu + 1) == 0 && Word(pdu + 3) == 1)
        return Word(pdu + 6);
    return std::nullopt;
}

}  // namespace

int BmsMap::Refusal(const std::uint8_t* pdu, int length, bool readOnly) {
    if (length < 1) return 0;
    const int function = pdu[0];
    if (Writes(function) && readOnly) return MODBUS_EXCEPTION_ILLEGAL_FUNCTION;
    // Neither has a meaning for a scene number.
    if (function == MODBUS_FC_MASK_WRITE_REGISTER || function == MODBUS_FC_WRITE_AND_READ_REGISTERS)
        return MODBUS_EXCEPTION_ILLEGAL_FUNCTION;
    if (const std::optional<int> scene = SceneWritten(pdu, length); scene && *scene > kLastScene)
        return MODBUS_EXCEPTION_ILLEGAL_DATA_VALUE;
    return 0;
}

void BmsMap::fill(modbus_mapping_t& mapping, const HallView& view) const {
    int zones = 0;
    for (int k = 0; k < hall::kSensorCount; ++k) {
        mapping.tab_input_bits[k] = view.zones[k];
        zones |= view.zones[k] << k;
    }
    for (int i = 0; i < hall::kLampCount; ++i) mapping.tab_bits[i] = view.lamps[i];
    mapping.tab_input_registers[0] = static_cast<std::uint16_t>(hall::LitCount(view.lamps));
    mapping.tab_input_registers[1] = static_cast<std::uint16_t>(zones);
    mapping.tab_input_registers[2] = static_cast<std::uint16_t>(view.devicesAway);
    mapping.tab_registers[0] = static_cast<std::uint16_t>(scene_);
}

std::optional<Event> BmsMap::written(const std::uint8_t* pdu, int length, const modbus_mapping_t& mapping,
                                     const HallView& view) {
    if (const std::optional<int> scene = SceneWritten(pdu, length); scene && *scene <= kLastScene) {
        scene_ = *scene;
        if (scene_ == 0) return AllOff{};
        return SetScene{scene_};
    }
    SetLamps lamps;
    for (int i = 0; i < hall::kLampCount; ++i) {
        lamps.which[i] = (mapping.tab_bits[i] != 0) != view.lamps[i];
        lamps.lit[i] = mapping.tab_bits[i] != 0;
    }
    const int switched = hall::LitCount(lamps.which);
    if (switched == 0) return std::nullopt;
    if (switched > 1) return lamps;
    for (int i = 0; i < hall::kLampCount; ++i)
        if (lamps.which[i]) return SetLamp{i + 1, lamps.lit[i]};
    return std::nullopt;
}

}  // namespace sterownik
