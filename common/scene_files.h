#pragma once

#include "result.h"

#include "lamp_state.h"

#include <array>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace hall {

inline constexpr int kSceneCount = 8;
inline constexpr int kKeyCount = 24;
inline constexpr int kSensorCount = 8;

// Lamp box values of one scene: 0 clear, 1 ticked, 2 third state.
using SceneBoxes = std::array<int, kLampCount>;

// A configuration file as read: every value it could give, and whether it
// gave them all. Values it could not give are 0 (boxes) or empty (fields).
struct SceneRead {
    SceneBoxes boxes{};
    bool complete = false;
};
struct AssignmentRead {
    std::vector<std::string> fields;  // one character each, or empty
    bool complete = false;
};

// "vuzo" + N + ".txt" (scene), "pakiet.txt" (keys), "czuj.txt" (sensors) in
// the working directory; "../sc" + k + ".txt" (scene command) in its parent.
std::filesystem::path SceneFilePath(int scene);
inline const std::filesystem::path kKeyFilePath = "pakiet.txt";
inline const std::filesystem::path kSensorFilePath = "czuj.txt";
std::filesystem::path SceneCommandFilePath(int input);

// "a" and one digit per lamp. A lamp whose position is missing or holds
// another character than 0, 1 or 2 reads as 0 and makes the read incomplete.
SceneRead ParseSceneLine(std::string_view line);
SceneRead ReadSceneFile(const std::filesystem::path& file);
Status WriteSceneFile(const std::filesystem::path& file, const SceneBoxes& boxes);

// "a" and one character per field: `count` fields, each the character at
// its position or empty where the line is shorter (then incomplete).
AssignmentRead ParseAssignmentLine(std::string_view line, int count);
AssignmentRead ReadAssignmentFile(const std::filesystem::path& file, int count);
Status WriteAssignmentFile(const std::filesystem::path& file, const std::vector<std::string>& fields);

// The lamp state layout: state 3 for ticked lamps (value 1), 1 for the rest.
LampStates SceneStates(const SceneBoxes& boxes);
Status WriteSceneCommandFile(const std::filesystem::path& file, const SceneBoxes& boxes);

}  // namespace hall
