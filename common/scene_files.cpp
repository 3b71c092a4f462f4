#include "scene_files.h"

#include "line_file.h"

namespace hall {
namespace {

// The longest line is 109 characters; a few more cost nothing.
constexpr std::size_t kReadLimit = 4 * 1024;

}  // namespace

std::filesystem::path SceneFilePath(int scene) { return "vuzo" + std::to_string(scene) + ".txt"; }

std::filesystem::path SceneCommandFilePath(int input) {
    return std::filesystem::path("..") / ("sc" + std::to_string(input) + ".txt");
}

SceneRead ParseSceneLine(std::string_view line) {
    SceneRead read;
    read.complete = true;
    for (int i = 0; i < kLampCount; ++i) {
        const std::size_t position = static_cast<std::size_t>(i) + 1;  // after the marker
        const char c = position < line.size() ? line[position] : '\0';
        if (c >= '0' && c <= '2')
            read.boxes[i] = c - '0';
        else
            read.complete = false;
    }
    return read;
}

SceneRead ReadSceneFile(const std::filesystem::path& file) {
    const os::SysResult<std::string> line = ReadFirstLine(file, kReadLimit);
    SceneRead read = ParseSceneLine(line.value_or(std::string()));
    read.complete = read.complete && line.has_value();
    return read;
}

Status WriteSceneFile(const std::filesystem::path& file, const SceneBoxes& boxes) {
    std::string line = "a";
    for (int value : boxes) line += std::to_string(value);
    return WriteFileAtomically(file, line + "\r\n");
}

AssignmentRead ParseAssignmentLine(std::string_view line, int count) {
    AssignmentRead read;
    read.complete = line.size() >= static_cast<std::size_t>(count) + 1;
    for (int k = 0; k < count; ++k) {
        const std::size_t position = static_cast<std::size_t>(k) + 1;
        read.fields.emplace_back(position < line.size() ? line.substr(position, 1) : std::string_view());
    }
    return read;
}

AssignmentRead ReadAssignmentFile(const std::filesystem::path& file, int count) {
    const os::SysResult<std::string> line = ReadFirstLine(file, kReadLimit);
    AssignmentRead read = ParseAssignmentLine(line.value_or(std::string()), count);
    read.complete = read.complete && line.has_value();
    return read;
}

Status WriteAssignmentFile(const std::filesystem::path& file, const std::vector<std::string>& fields) {
    std::string line = "a";
    for (const std::string& field : fields) line += field;
    return WriteFileAtomically(file, line + "\r\n");
}

LampStates SceneStates(const SceneBoxes& boxes) {
    LampStates states;
    for (int i = 0; i < kLampCount; ++i) states[i] = boxes[i] == 1 ? kStateOn : kStateOff;
    return states;
}

Status WriteSceneCommandFile(const std::filesystem::path& file, const SceneBoxes& boxes) {
    return WriteStateFile(SceneStates(boxes), file);
}

}  // namespace hall
