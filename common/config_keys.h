#pragma once

// The one table of sterownik.conf's keys: how each is read, how often it may
// be given, and whether a reload may change it. The parser, the reload and the
// manual's check all go by it.

#include "config_line.h"
#include "config_words.h"
#include "result.h"

#include <functional>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace hall {

struct ControllerConfig;

// What the readers of one file share: the configuration they fill, the line
// at hand, and what earlier lines gave, for the checks that span lines.
struct ConfigReading {
    ControllerConfig& config;
    SourceLine line;
    std::set<std::string, std::less<>> given;  // keys given so far; "lampa 5" for one input
    std::set<std::string, std::less<>> inputTopics;
    std::set<std::string, std::less<>> lampTopics;
    // False when `key` was given before.
    bool firstTime(std::string key) { return given.insert(std::move(key)).second; }
};

enum class KeyCount {
    Once,
    // Once for each input or lamp that its first value names ("lampa 5"). The
    // reader claims it once the line's shape is right, so that a malformed
    // line is told what is wrong with it first.
    PerInput,
    // Each line adds one more.
    Many,
};

// What a reload must leave as the start made it, and the reason it gives
// when it does not.
struct StartOnly {
    bool (*same)(const ControllerConfig& running, const ControllerConfig& next);
    std::string_view reason;
};

struct ConfigKey {
    std::string_view name;
    KeyCount count;
    // Takes the line's words (the key first), or says why it cannot (the
    // reason alone: the parser names the line).
    Status (*read)(const config::Words& words, ConfigReading& reading);
    std::optional<StartOnly> startOnly;  // none: a reload may change it
};

// Every key, in the manual's order.
std::span<const ConfigKey> ConfigKeys();
// The key of that name; nothing for an unknown one.
const ConfigKey* FindConfigKey(std::string_view name);
std::vector<std::string_view> ConfigKeyNames();

// Whether a reload may put `next` in place of `running`: the first key that
// may change only at start, and did, gives its reason.
Status CheckReload(const ControllerConfig& running, const ControllerConfig& next);

}  // namespace hall
