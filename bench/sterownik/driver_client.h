#pragma once

#include "event_tracker.h"
#include "latency.h"
#include "result.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

struct mosquitto;
struct pollfd;
struct mosquitto_message;

namespace bench {

// Another descriptor the loop waits on; its handler fails with the reason to stop, or succeeds to go on.
struct Watch {
    int fd;
    std::function<hall::Status()> readable;
};

enum class RunEnd { Finished, TimedOut, Stopped };

// The benchmark's one MQTT client, driven by its own loop in one thread:
// it sends with QoS 1 and stamps each message it receives on arrival.
class DriverClient {
public:
    explicit DriverClient(std::vector<Watch> watches);
    ~DriverClient();
    DriverClient(const DriverClient&) = delete;
    DriverClient& operator=(const DriverClient&) = delete;

    hall::Status connect(int port);
    hall::Status subscribe(const std::vector<std::string>& topics);
    void setSink(MessageSink* sink) { sink_ = sink; }
    // Not retained, QoS 1, written out at once.
    void publish(const std::string& topic, std::string_view payload);
    // At most `messages` sent and not yet acknowledged; the rest wait in the library.
    void limitInflight(unsigned messages);
    // How many of the messages it published the broker has acknowledged.
    std::size_t acknowledged() const { return acknowledged_; }

    // Waits on the broker and the watches until `finished()` or `until`;
    // `step(now)` runs at each wake-up and says when it next wants to.
    RunEnd run(TimePoint until, const std::function<bool()>& finished,
               const std::function<TimePoint(TimePoint now)>& step);
    const std::string& stopReason() const { return stopReason_; }

private:
    static void OnConnect(mosquitto* client, void* self, int rc);
    static void OnSubscribe(mosquitto* client, void* self, int mid, int count, const int* granted);
    static void OnMessage(mosquitto* client, void* self, const mosquitto_message* message);
    static void OnPublish(mosquitto* client, void* self, int mid);
    hall::Status runUntil(bool& flag, const char* what);
    // Whether a watch whose descriptor is ready says to stop, its reason kept.
    bool stoppedByWatch(const std::vector<pollfd>& fds);

    std::vector<Watch> watches_;
    mosquitto* client_ = nullptr;
    MessageSink* sink_ = nullptr;
    bool connected_ = false;
    bool subscribed_ = false;
    std::size_t acknowledged_ = 0;
    std::string stopReason_;
};

}  // namespace bench
