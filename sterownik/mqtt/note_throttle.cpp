#include "note_throttle.h"

#include "config_line.h"

namespace sterownik {
namespace {

constexpr Duration kWindow = std::chrono::minutes(1);
const std::string kOtherTopics = "(inne tematy)";

}  // namespace

std::string NoteThrottle::Count(std::string_view topic, int held) {
    return "pominięto jeszcze " + std::to_string(held) + " wiadomości bez wpisu: " + hall::QuotedForLog(topic);
}

std::vector<std::string> NoteThrottle::admit(std::string_view topic, std::string note, TimePoint now) {
    std::vector<std::string> lines = expire(now);
    auto window = windows_.find(topic);
    if (window == windows_.end()) {
        const std::string key = windows_.size() < kTopicLimit ? std::string(topic) : kOtherTopics;
        window = windows_.try_emplace(key, Window{now}).first;
    }
    if (window->second.logged < kNotesPerMinute) {
        ++window->second.logged;
        lines.push_back(std::move(note));
    } else {
        ++window->second.held;
    }
    return lines;
}

std::vector<std::string> NoteThrottle::expire(TimePoint now) {
    std::vector<std::string> lines;
    for (auto window = windows_.begin(); window != windows_.end();) {
        if (now - window->second.start < kWindow) {
            ++window;
            continue;
        }
        if (window->second.held > 0) lines.push_back(Count(window->first, window->second.held));
        window = windows_.erase(window);
    }
    return lines;
}

}  // namespace sterownik
