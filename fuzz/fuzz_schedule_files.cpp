#include "schedule_files.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

// Whatever a line gives, saving it and reading it back gives the same.
template <typename Read, typename Compose, typename Parse, typename Value>
void CheckRoundTrip(const Read& read, Compose compose, Parse parse, Value value) {
    if (read.state == hall::FileState::Missing) std::abort();
    if (read.state != hall::FileState::Read) return;
    const Read again = parse(compose(value(read)));
    if (again.state != hall::FileState::Read || !(value(again) == value(read))) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    CheckRoundTrip(hall::ParseDelayLine(line), hall::ComposeDelayLine, hall::ParseDelayLine,
                   [](const hall::DelayRead& r) { return r.text; });
    CheckRoundTrip(hall::ParseWeeklyLine(line), hall::ComposeWeeklyLine, hall::ParseWeeklyLine,
                   [](const hall::WeeklyRead& r) { return r.schedule; });
    CheckRoundTrip(hall::ParseDatedLine(line), hall::ComposeDatedLine, hall::ParseDatedLine,
                   [](const hall::DatedRead& r) { return r.rows; });
    return 0;
}
