#include "lamp_state.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    hall::ParseStateLine(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
