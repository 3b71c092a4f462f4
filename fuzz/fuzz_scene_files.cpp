#include "scene_files.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const hall::SceneRead scene = hall::ParseSceneLine(line);
    for (int value : scene.boxes)
        if (value < 0 || value > 2) std::abort();
    const hall::AssignmentRead keys = hall::ParseAssignmentLine(line, hall::kKeyCount);
    if (keys.fields.size() != hall::kKeyCount) std::abort();
    for (const auto& field : keys.fields)
        if (field.size() > 1) std::abort();
    return 0;
}
