#include "text_number.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const double value = hall::LeadingNumberValue(text);
    if (!std::isfinite(value)) std::abort();
    // A field rewrites itself until its text settles; that must be quick.
    std::string current = hall::NumberRewrite(text, ',');
    for (int pass = 0; pass < 4; ++pass) current = hall::NumberRewrite(current, ',');
    if (hall::NumberRewrite(current, ',') != current) std::abort();
    hall::RoundHalfEven(value);
    return 0;
}
