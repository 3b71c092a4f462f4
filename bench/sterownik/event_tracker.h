#pragma once

#include "lamp_state.h"
#include "latency.h"
#include "scene_files.h"

#include <array>
#include <cstddef>
#include <deque>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace bench {

// Told of every message the benchmark's client receives.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void received(std::string_view topic, std::string_view payload, TimePoint at) = 0;
};

// One motion report to send: when, counted from the start, to which hall and input.
struct PlannedEvent {
    Duration at;
    int hall;
    int input;
};

// Every hall gets one event each `hallPeriod`, the halls evenly spread over
// it, each event on the hall's next input (1, 2, … 8, 1, …).
class EventPlan {
public:
    EventPlan(int halls, Duration hallPeriod, int eventsPerHall)
        : halls_(halls), period_(hallPeriod), count_(static_cast<std::size_t>(halls) * eventsPerHall) {}
    std::size_t size() const { return count_; }
    PlannedEvent operator[](std::size_t i) const;
    Duration length() const { return period_ * static_cast<long>(count_ / halls_); }

private:
    int halls_;
    Duration period_;
    std::size_t count_;
};

// The controllers' messages matched to the events sent: an event has come
// back when its zone's last lamp is next published ON by its hall. That one
// message answers every report of the input still waiting: a controller
// that is behind carries out several in one group, and motion on a zone
// already lit changes nothing, so it publishes nothing of its own. Also
// whether each hall's controller is ready: online, and its lamps published,
// which the state line, sent after them, tells.
class EventTracker : public MessageSink {
public:
    explicit EventTracker(const std::vector<std::string>& halls);

    // What it takes to see both: each zone's last lamp, not every lamp.
    static std::vector<std::string> Subscriptions();

    void sent(int hall, int input, TimePoint at);
    void received(std::string_view topic, std::string_view payload, TimePoint at) override;

    int readyHalls() const;
    std::size_t sentCount() const { return sent_; }
    std::size_t backCount() const { return latencies_.size(); }
    const std::vector<Duration>& latencies() const { return latencies_; }

private:
    struct Hall {
        bool online = false;
        bool lampsPublished = false;
        std::array<std::deque<TimePoint>, hall::kSensorCount> waiting;  // per input, oldest first
    };
    void lampOn(Hall& hall, int lamp, TimePoint at);

    std::map<std::string, int, std::less<>> index_;
    std::vector<Hall> halls_;
    std::size_t sent_ = 0;
    std::vector<Duration> latencies_;
};

}  // namespace bench
