#include "account_file.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto scrambled = hall::ScramblePassword(text);
    if (scrambled && scrambled->size() > hall::kPasswordPositions) std::abort();
    hall::IsValidAccountName(text);
    return 0;
}
