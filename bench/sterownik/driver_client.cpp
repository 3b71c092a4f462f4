#include "driver_client.h"

#include <mosquitto.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace bench {
namespace {

constexpr int kKeepAliveSeconds = 60;
constexpr auto kHandshakeTime = std::chrono::seconds(5);
// The library must look at the connection this often to keep it alive.
constexpr auto kHousekeeping = std::chrono::seconds(1);

timespec Timeout(Duration wait) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(std::max(wait, Duration::zero())).count();
    return {static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

}  // namespace

DriverClient::DriverClient(std::vector<Watch> watches)
    : watches_(std::move(watches)), client_(mosquitto_new("bench", true, this)) {
    if (!client_) return;
    mosquitto_connect_callback_set(client_, OnConnect);
    mosquitto_subscribe_callback_set(client_, OnSubscribe);
    mosquitto_message_callback_set(client_, OnMessage);
    mosquitto_publish_callback_set(client_, OnPublish);
    // Each event goes out when due, never queued behind unacknowledged ones.
    mosquitto_max_inflight_messages_set(client_, 0);
    // The measuring client adds no wait of its own for the peer's acknowledgement.
    mosquitto_int_option(client_, MOSQ_OPT_TCP_NODELAY, 1);
}

DriverClient::~DriverClient() {
    if (!client_) return;
    mosquitto_disconnect(client_);
    mosquitto_destroy(client_);
}

hall::Status DriverClient::connect(int port) {
    const int rc = client_ ? mosquitto_connect(client_, "127.0.0.1", port, kKeepAliveSeconds) : MOSQ_ERR_NOMEM;
    if (rc != MOSQ_ERR_SUCCESS)
        return hall::Unexpected(std::string("nie można połączyć się z brokerem: ") + mosquitto_strerror(rc));
    return runUntil(connected_, "połączenia");
}

hall::Status DriverClient::subscribe(const std::vector<std::string>& topics) {
    std::vector<char*> list;
    for (const std::string& topic : topics) list.push_back(const_cast<char*>(topic.c_str()));
    subscribed_ = false;
    const int rc =
        mosquitto_subscribe_multiple(client_, nullptr, static_cast<int>(list.size()), list.data(), 1, 0, nullptr);
    if (rc != MOSQ_ERR_SUCCESS)
        return hall::Unexpected(std::string("nie można zasubskrybować: ") + mosquitto_strerror(rc));
    return runUntil(subscribed_, "subskrypcji");
}

hall::Status DriverClient::runUntil(bool& flag, const char* what) {
    const RunEnd end = run(
        Clock::now() + kHandshakeTime, [&] { return flag; }, [](TimePoint now) { return now + kHousekeeping; });
    if (end == RunEnd::Finished) return {};
    return hall::Unexpected(std::string("broker nie potwierdził ") + what +
                            (end == RunEnd::Stopped ? ": " + stopReason_ : " w ciągu 5 s"));
}

void DriverClient::publish(const std::string& topic, std::string_view payload) {
    mosquitto_publish(client_, nullptr, topic.c_str(), static_cast<int>(payload.size()), payload.data(), 1, false);
}

void DriverClient::limitInflight(unsigned messages) { mosquitto_max_inflight_messages_set(client_, messages); }

RunEnd DriverClient::run(TimePoint until, const std::function<bool()>& finished,
                         const std::function<TimePoint(TimePoint)>& step) {
    std::vector<pollfd> fds(1 + watches_.size());
    for (;;) {
        const TimePoint now = Clock::now();
        const TimePoint wake = std::min({step(now), until, now + kHousekeeping});
        if (finished()) return RunEnd::Finished;
        if (now >= until) return RunEnd::TimedOut;
        mosquitto_loop_misc(client_);
        const int socket = mosquitto_socket(client_);
        if (socket < 0) {
            stopReason_ = "broker zerwał połączenie";
            return RunEnd::Stopped;
        }
        fds[0] = {socket, static_cast<short>(POLLIN | (mosquitto_want_write(client_) ? POLLOUT : 0)), 0};
        for (std::size_t i = 0; i < watches_.size(); ++i) fds[i + 1] = {watches_[i].fd, POLLIN, 0};
        const timespec timeout = Timeout(wake - Clock::now());
        if (::ppoll(fds.data(), fds.size(), &timeout, nullptr) < 0 && errno != EINTR) {
            stopReason_ = std::string("błąd oczekiwania: ") + std::strerror(errno);
            return RunEnd::Stopped;
        }
        if (fds[0].revents & (POLLIN | POLLERR | POLLHUP)) mosquitto_loop_read(client_, 1);
        if ((fds[0].revents & POLLOUT) && mosquitto_socket(client_) >= 0) mosquitto_loop_write(client_, 1);
        if (stoppedByWatch(fds)) return RunEnd::Stopped;
    }
}

bool DriverClient::stoppedByWatch(const std::vector<pollfd>& fds) {
    for (std::size_t i = 0; i < watches_.size(); ++i) {
        if (!(fds[i + 1].revents & (POLLIN | POLLHUP))) continue;
        const hall::Status goOn = watches_[i].readable();
        if (goOn) continue;
        stopReason_ = goOn.error();
        return true;
    }
    return false;
}

void DriverClient::OnConnect(mosquitto*, void* self, int rc) { static_cast<DriverClient*>(self)->connected_ = rc == 0; }

void DriverClient::OnSubscribe(mosquitto*, void* self, int, int, const int*) {
    static_cast<DriverClient*>(self)->subscribed_ = true;
}

void DriverClient::OnPublish(mosquitto*, void* self, int) { ++static_cast<DriverClient*>(self)->acknowledged_; }

void DriverClient::OnMessage(mosquitto*, void* self, const mosquitto_message* message) {
    const TimePoint at = Clock::now();
    auto& client = *static_cast<DriverClient*>(self);
    if (!client.sink_ || !message->topic) return;
    const std::string_view payload(static_cast<const char*>(message->payload),
                                   message->payload ? static_cast<std::size_t>(message->payloadlen) : 0);
    client.sink_->received(message->topic, payload, at);
}

}  // namespace bench
