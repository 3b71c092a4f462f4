#include "event_tracker.h"

#include "bench_halls.h"

#include <charconv>

namespace bench {
namespace {

// hala/NAZWA/<kind>[/<n>]
struct HallTopic {
    std::string_view hall, kind, item;
};

bool Split(std::string_view topic, HallTopic& parts) {
    constexpr std::string_view kPrefix = "hala/";
    if (!topic.starts_with(kPrefix)) return false;
    topic.remove_prefix(kPrefix.size());
    const std::size_t nameEnd = topic.find('/');
    if (nameEnd == std::string_view::npos) return false;
    parts.hall = topic.substr(0, nameEnd);
    const std::string_view rest = topic.substr(nameEnd + 1);
    const std::size_t kindEnd = rest.find('/');
    parts.kind = rest.substr(0, kindEnd);
    parts.item = kindEnd == std::string_view::npos ? std::string_view() : rest.substr(kindEnd + 1);
    return true;
}

int LampNumber(std::string_view item) {
    int n = 0;
    const auto [end, ec] = std::from_chars(item.data(), item.data() + item.size(), n);
    return ec == std::errc() && end == item.data() + item.size() && n >= 1 && n <= hall::kLampCount ? n : 0;
}

}  // namespace

PlannedEvent EventPlan::operator[](std::size_t i) const {
    const auto hall = static_cast<int>(i % halls_);
    const auto round = static_cast<long>(i / halls_);
    return {period_ * round + period_ * hall / halls_, hall, static_cast<int>(round % hall::kSensorCount) + 1};
}

EventTracker::EventTracker(const std::vector<std::string>& halls) : halls_(halls.size()) {
    for (std::size_t i = 0; i < halls.size(); ++i) index_[halls[i]] = static_cast<int>(i);
}

void EventTracker::sent(int hall, int input, TimePoint at) {
    halls_[hall].waiting[input - 1].push_back(at);
    ++sent_;
}

void EventTracker::received(std::string_view topic, std::string_view payload, TimePoint at) {
    HallTopic parts;
    if (!Split(topic, parts)) return;
    const auto found = index_.find(parts.hall);
    if (found == index_.end()) return;
    Hall& hall = halls_[found->second];
    if (parts.kind == "dostepnosc") hall.online = payload == "online";
    if (parts.kind == "stan") hall.lampsPublished = hall.lampsPublished || hall::ParseStateLine(payload).has_value();
    if (parts.kind != "lampa" || payload != "ON") return;
    if (const int lamp = LampNumber(parts.item)) lampOn(hall, lamp, at);
}

std::vector<std::string> EventTracker::Subscriptions() {
    std::vector<std::string> topics = {"hala/+/dostepnosc", "hala/+/stan"};
    for (int k = 1; k <= hall::kSensorCount; ++k) topics.push_back("hala/+/lampa/" + std::to_string(ZoneLamps(k).last));
    return topics;
}

void EventTracker::lampOn(Hall& hall, int lamp, TimePoint at) {
    for (int k = 1; k <= hall::kSensorCount; ++k) {
        std::deque<TimePoint>& waiting = hall.waiting[k - 1];
        if (ZoneLamps(k).last != lamp) continue;
        for (const TimePoint sent : waiting) latencies_.push_back(at - sent);
        waiting.clear();
    }
}

int EventTracker::readyHalls() const {
    int ready = 0;
    for (const Hall& hall : halls_) ready += hall.online && hall.lampsPublished;
    return ready;
}

}  // namespace bench
