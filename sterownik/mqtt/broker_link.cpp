#include "broker_link.h"

#include <mosquitto.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace sterownik {
namespace {

constexpr int kKeepAliveSeconds = 30;
constexpr Duration kLongestBackoff = std::chrono::seconds(30);
// How often the library must look at the connection to keep it alive.
constexpr Duration kHousekeeping = std::chrono::seconds(1);
constexpr Duration kClosingTime = std::chrono::seconds(3);

const char* OrNull(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

std::string Reason(int rc) { return rc == MOSQ_ERR_ERRNO ? std::strerror(errno) : mosquitto_strerror(rc); }

}  // namespace

BrokerLink::BrokerLink(LinkSettings settings, LinkListener& listener, std::ostream& log)
    : settings_(std::move(settings)),
      listener_(listener),
      log_(log),
      client_(mosquitto_new(settings_.clientId.c_str(), true, this)),
      retryAt_(TimePoint{}) {
    if (!client_) return;
    mosquitto_connect_callback_set(client_, OnConnect);
    mosquitto_disconnect_callback_set(client_, OnDisconnect);
    mosquitto_message_callback_set(client_, OnMessage);
    // Every lamp's message goes out at once, so that a clean stop's last
    // message is never queued behind them.
    mosquitto_max_inflight_messages_set(client_, 0);
    // A lamp's message must not wait for the broker's delayed acknowledgement
    // of the event that caused it (Nagle's algorithm: some 40 ms an event).
    mosquitto_int_option(client_, MOSQ_OPT_TCP_NODELAY, 1);
}

BrokerLink::~BrokerLink() {
    if (client_) mosquitto_destroy(client_);
}

hall::Status BrokerLink::setUp() {
    if (!client_) return hall::Unexpected("nie można utworzyć klienta MQTT: " + std::string(std::strerror(errno)));
    int rc = mosquitto_will_set(client_, settings_.will.topic.c_str(), static_cast<int>(settings_.will.payload.size()),
                                settings_.will.payload.data(), 1, true);
    if (rc == MOSQ_ERR_SUCCESS && !settings_.user.empty())
        rc = mosquitto_username_pw_set(client_, settings_.user.c_str(), OrNull(settings_.password));
    const bool tls = !settings_.caFile.empty() || !settings_.certFile.empty();
    // Without a CA file of its own, the broker's certificate is checked against the system's.
    const char* caPath = settings_.caFile.empty() ? "/etc/ssl/certs" : nullptr;
    if (rc == MOSQ_ERR_SUCCESS && tls)
        rc = mosquitto_tls_set(client_, OrNull(settings_.caFile), caPath, OrNull(settings_.certFile),
                               OrNull(settings_.keyFile), nullptr);
    if (rc != MOSQ_ERR_SUCCESS) return hall::Unexpected("ustawienia połączenia odrzucone: " + Reason(rc));
    return {};
}

int BrokerLink::socket() const { return mosquitto_socket(client_); }

bool BrokerLink::wantsWrite() const { return socket() >= 0 && mosquitto_want_write(client_); }

void BrokerLink::readable() { checked(mosquitto_loop_read(client_, 1)); }

void BrokerLink::writable() { checked(mosquitto_loop_write(client_, 1)); }

void BrokerLink::tick(TimePoint now) {
    if (retryAt_ && now >= *retryAt_) connectNow();
    if (socket() >= 0) checked(mosquitto_loop_misc(client_));
}

TimePoint BrokerLink::nextDeadline(TimePoint now) const {
    return retryAt_ ? std::max(*retryAt_, now) : now + kHousekeeping;
}

void BrokerLink::subscribe(const std::string& topic) {
    const int rc = mosquitto_subscribe(client_, nullptr, topic.c_str(), 1);
    if (rc != MOSQ_ERR_SUCCESS) log_ << "nie można zasubskrybować " << topic << ": " << Reason(rc) << std::endl;
}

void BrokerLink::publish(const Message& message) {
    if (!connected_) return;
    const int rc = mosquitto_publish(client_, nullptr, message.topic.c_str(), static_cast<int>(message.payload.size()),
                                     message.payload.data(), 1, true);
    if (rc != MOSQ_ERR_SUCCESS) log_ << "nie można opublikować " << message.topic << ": " << Reason(rc) << std::endl;
}

void BrokerLink::close(const Message& last) {
    if (!connected_) return;
    publish(last);
    connected_ = false;
    mosquitto_disconnect(client_);
    const TimePoint end = Clock::now() + kClosingTime;
    while (socket() >= 0 && wantsWrite() && Clock::now() < end) {
        pollfd fd{socket(), POLLOUT, 0};
        if (::poll(&fd, 1, 100) > 0) mosquitto_loop_write(client_, 1);
    }
}

void BrokerLink::connectNow() {
    retryAt_.reset();
    const int rc = tried_ ? mosquitto_reconnect_async(client_)
                          : mosquitto_connect_async(client_, settings_.host.c_str(), settings_.port, kKeepAliveSeconds);
    tried_ = true;
    if (rc != MOSQ_ERR_SUCCESS) lost(Reason(rc));
}

// The next try is due after the back-off; the first failure since the last
// connection is logged, the broker's own refusals every time.
void BrokerLink::lost(std::string_view reason) {
    connected_ = false;
    if (!reported_)
        log_ << "brak połączenia z brokerem " << settings_.host << ":" << settings_.port << " (" << reason
             << "), ponawiam co najwyżej co "
             << std::chrono::duration_cast<std::chrono::seconds>(kLongestBackoff).count() << " s" << std::endl;
    reported_ = true;
    if (!retryAt_) retryAt_ = Clock::now() + backoff_;
    backoff_ = std::min(backoff_ * 2, kLongestBackoff);
}

void BrokerLink::checked(int rc) {
    // The library reports a broken connection through the disconnect call;
    // this catches a failure it closed the socket for without one.
    if (rc != MOSQ_ERR_SUCCESS && socket() < 0 && !retryAt_) lost(Reason(rc));
}

void BrokerLink::OnConnect(mosquitto*, void* self, int rc) {
    auto& link = *static_cast<BrokerLink*>(self);
    if (rc != 0) {
        link.log_ << "broker " << link.settings_.host << ":" << link.settings_.port
                  << " odmówił połączenia: " << mosquitto_connack_string(rc) << std::endl;
        link.reported_ = true;
        return;
    }
    link.connected_ = true;
    link.reported_ = false;
    link.backoff_ = std::chrono::seconds(1);
    link.log_ << "połączono z brokerem " << link.settings_.host << ":" << link.settings_.port << std::endl;
    link.listener_.connected();
}

void BrokerLink::OnDisconnect(mosquitto*, void* self, int rc) {
    auto& link = *static_cast<BrokerLink*>(self);
    link.connected_ = false;
    if (rc != 0) link.lost(rc == MOSQ_ERR_CONN_REFUSED ? "odmowa" : Reason(rc));
}

void BrokerLink::OnMessage(mosquitto*, void* self, const mosquitto_message* message) {
    auto& link = *static_cast<BrokerLink*>(self);
    const std::string_view payload(static_cast<const char*>(message->payload),
                                   message->payload ? static_cast<std::size_t>(message->payloadlen) : 0);
    link.listener_.received(message->topic ? message->topic : "", payload, message->retain);
}

}  // namespace sterownik
