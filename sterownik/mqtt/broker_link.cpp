#include "broker_link.h"

#include "detached.h"
#include "handover.h"

#include <mosquitto.h>
#include <mqtt_protocol.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace sterownik {
namespace {

constexpr int kKeepAliveSeconds = 30;
constexpr Duration kLongestBackoff = std::chrono::seconds(30);
// A connection that lasted this long was no broker refusing us in a loop.
constexpr Duration kSettled = std::chrono::seconds(10);
// How long a connection may take before the try counts as failed.
constexpr Duration kConnectTime = std::chrono::seconds(10);
// How often the library must look at the connection to keep it alive.
constexpr Duration kHousekeeping = std::chrono::seconds(1);

const char* OrNull(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

std::string Reason(int rc, int error = errno) {
    if (rc == MOSQ_ERR_ERRNO) return std::strerror(error);
    // The library has no text of its own for this one.
    if (rc == MOSQ_ERR_KEEPALIVE)
        return "broker nie odpowiada od " + std::to_string(kKeepAliveSeconds * 3 / 2) + " s (keepalive)";
    return mosquitto_strerror(rc);
}

// Only packing is lost where the system refuses it.
void Cork(int socket, bool on) {
    const int value = on;
    if (socket >= 0) (void)::setsockopt(socket, IPPROTO_TCP, TCP_CORK, &value, sizeof value);
}

bool Readable(int fd) {
    pollfd ready{fd, POLLIN, 0};
    return fd >= 0 && ::poll(&ready, 1, 0) > 0 && (ready.revents & (POLLIN | POLLERR | POLLHUP));
}

}  // namespace

void BrokerLink::Destroy::operator()(mosquitto* client) const { mosquitto_destroy(client); }

// One connection being made, shared with the thread that makes it: the
// client goes back to the loop once the library's connect has returned.
struct BrokerLink::Attempt {
    struct Done {
        int rc;
        int error;  // errno on the thread, for MOSQ_ERR_ERRNO
    };
    Client client;
    loop::Handover<Done> done;
};

BrokerLink::BrokerLink(LinkSettings settings, LinkListener& listener, loop::Reactor& reactor, std::ostream& log)
    : settings_(std::move(settings)), listener_(listener), log_(log), registrations_(reactor), retryAt_(TimePoint{}) {}

BrokerLink::~BrokerLink() = default;

hall::Status BrokerLink::start() {
    const hall::Result<Client> client = newClient();
    if (!client) return hall::Unexpected(client.error());
    registrations_.prepare([this](TimePoint now) { return tick(now); });
    // After the controller has carried out its events: their publications make the socket wait for writing.
    registrations_.interest([this] {
        watched_ = socket();
        registrations_.rewatch(socketWatch_, watched_, static_cast<short>(POLLIN | (wantsWrite() ? POLLOUT : 0)));
    });
    socketWatch_ = registrations_.watch(-1, POLLIN, [this](short revents) { ready(revents); });
    return {};
}

hall::Result<BrokerLink::Client> BrokerLink::newClient() {
    Client client(mosquitto_new(settings_.clientId.c_str(), true, this));
    if (!client) return hall::Unexpected("nie można utworzyć klienta MQTT: " + std::string(std::strerror(errno)));
    mosquitto* c = client.get();
    mosquitto_connect_callback_set(c, OnConnect);
    mosquitto_disconnect_callback_set(c, OnDisconnect);
    mosquitto_message_callback_set(c, OnMessage);
    int rc = mosquitto_int_option(c, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
    // Without a bound, the library walks all its unacknowledged messages at
    // every acknowledgement: a burst then costs the square of its length.
    if (rc == MOSQ_ERR_SUCCESS) rc = mosquitto_max_inflight_messages_set(c, kInflightLimit);
    // A lamp's message must not wait for the broker's delayed acknowledgement
    // of the event that caused it (Nagle's algorithm: some 40 ms an event).
    if (rc == MOSQ_ERR_SUCCESS) rc = mosquitto_int_option(c, MOSQ_OPT_TCP_NODELAY, 1);
    const Message& will = settings_.will;
    if (rc == MOSQ_ERR_SUCCESS)
        rc = mosquitto_will_set(c, will.topic.c_str(), static_cast<int>(will.payload.size()), will.payload.data(), 1,
                                true);
    if (rc == MOSQ_ERR_SUCCESS && !settings_.user.empty())
        rc = mosquitto_username_pw_set(c, settings_.user.c_str(), OrNull(settings_.password));
    const bool tls = !settings_.caFile.empty() || !settings_.certFile.empty();
    // Without a CA file of its own, the broker's certificate is checked against the system's.
    const char* caPath = settings_.caFile.empty() ? "/etc/ssl/certs" : nullptr;
    if (rc == MOSQ_ERR_SUCCESS && tls)
        rc = mosquitto_tls_set(c, OrNull(settings_.caFile), caPath, OrNull(settings_.certFile),
                               OrNull(settings_.keyFile), nullptr);
    if (rc != MOSQ_ERR_SUCCESS) return hall::Unexpected("ustawienia połączenia odrzucone: " + Reason(rc));
    return client;
}

void BrokerLink::reconfigure(LinkSettings settings) {
    close(Duration::zero());
    settings_ = std::move(settings);
    abandon();
    client_.reset();
    reported_ = false;
    backoff_ = std::chrono::seconds(1);
    retryAt_ = TimePoint{};
}

int BrokerLink::socket() const { return client_ ? mosquitto_socket(client_.get()) : -1; }

bool BrokerLink::wantsWrite() const { return socket() >= 0 && mosquitto_want_write(client_.get()); }

void BrokerLink::readable() {
    if (client_) checked(mosquitto_loop_read(client_.get(), 1));
}

void BrokerLink::writable() {
    if (client_) checked(mosquitto_loop_write(client_.get(), 1));
}

// Every message already waiting, so that a burst is carried out as one
// group; the acknowledgements go out meanwhile, so that the broker sends on.
void BrokerLink::ready(short revents) {
    // The socket may have been replaced by a reconnect earlier in this turn.
    if (socket() != watched_) return;
    if (revents & (POLLIN | POLLERR | POLLHUP)) {
        do {
            readable();
            if (wantsWrite()) writable();
        } while (!listener_.full() && Readable(socket()));
    }
    if ((revents & POLLOUT) && socket() >= 0) writable();
}

std::optional<TimePoint> BrokerLink::tick(TimePoint now) {
    if (retryAt_ && now >= *retryAt_) connectNow(now);
    if (attempt_ && now >= attemptSince_ + kConnectTime) {
        abandon();
        lost("brak odpowiedzi w ciągu " + std::to_string(kConnectTime / std::chrono::seconds(1)) + " s");
    }
    if (socket() >= 0) checked(mosquitto_loop_misc(client_.get()));
    if (attempt_) return std::min(attemptSince_ + kConnectTime, now + kHousekeeping);
    return retryAt_ ? std::max(*retryAt_, now) : now + kHousekeeping;
}

void BrokerLink::subscribe(const std::string& topic) {
    const int rc = mosquitto_subscribe(client_.get(), nullptr, topic.c_str(), 1);
    if (rc != MOSQ_ERR_SUCCESS) log_ << "nie można zasubskrybować " << topic << ": " << Reason(rc) << std::endl;
}

void BrokerLink::unsubscribe(const std::string& topic) {
    if (!connected_) return;
    const int rc = mosquitto_unsubscribe(client_.get(), nullptr, topic.c_str());
    if (rc != MOSQ_ERR_SUCCESS) log_ << "nie można zrezygnować z " << topic << ": " << Reason(rc) << std::endl;
}

void BrokerLink::publish(const Message& message) {
    if (!connected_) return;
    const int rc = mosquitto_publish(client_.get(), nullptr, message.topic.c_str(),
                                     static_cast<int>(message.payload.size()), message.payload.data(), 1, true);
    if (rc != MOSQ_ERR_SUCCESS) log_ << "nie można opublikować " << message.topic << ": " << Reason(rc) << std::endl;
}

void BrokerLink::hold() { Cork(socket(), true); }

void BrokerLink::release() { Cork(socket(), false); }

void BrokerLink::close(Duration patience) {
    if (!connected_) return;
    // QoS 0 is sent at once, not queued behind the unacknowledged lamps.
    // Where either fails, the broker sends the will itself once the socket closes.
    const Message& last = settings_.will;
    int rc = mosquitto_publish(client_.get(), nullptr, last.topic.c_str(), static_cast<int>(last.payload.size()),
                               last.payload.data(), 0, true);
    connected_ = false;
    if (rc == MOSQ_ERR_SUCCESS) rc = mosquitto_disconnect(client_.get());
    if (rc != MOSQ_ERR_SUCCESS) return;
    const TimePoint end = Clock::now() + patience;
    // A write that fails leaves the will to the broker, which sends it once the connection is gone.
    if (socket() >= 0 && wantsWrite()) (void)mosquitto_loop_write(client_.get(), 1);
    while (socket() >= 0 && wantsWrite() && Clock::now() < end) {
        pollfd fd{socket(), POLLOUT, 0};
        if (::poll(&fd, 1, 100) > 0) (void)mosquitto_loop_write(client_.get(), 1);
    }
}

// The library's connect, the only one that sends MQTT v5's properties,
// blocks: it runs on a thread of its own, and the loop takes the client back
// when it is done.
void BrokerLink::connectNow(TimePoint now) {
    retryAt_.reset();
    client_.reset();
    hall::Result<Client> client = newClient();
    if (!client) return lost(client.error());
    auto attempt = std::make_shared<Attempt>();
    if (attempt->done.descriptor() < 0) return lost(attempt->done.error().message());
    attempt->client = std::move(*client);
    const auto connect = [attempt, host = settings_.host, port = settings_.port] {
        mosquitto_property* properties = nullptr;
        int rc = mosquitto_property_add_int32(&properties, MQTT_PROP_MAXIMUM_PACKET_SIZE, kMaximumPacket);
        if (rc == MOSQ_ERR_SUCCESS)
            rc = mosquitto_connect_bind_v5(attempt->client.get(), host.c_str(), port, kKeepAliveSeconds, nullptr,
                                           properties);
        const int error = errno;
        mosquitto_property_free_all(&properties);
        attempt->done.put({rc, error});
    };
    const hall::Status started = loop::StartDetached(connect, [attempt](const std::string& why) {
        if (!why.empty()) attempt->done.put({MOSQ_ERR_UNKNOWN, 0});
    });
    if (!started) return lost(started.error());
    attempt_ = std::move(attempt);
    attemptSince_ = now;
    attemptWatch_ = registrations_.watch(attempt_->done.descriptor(), POLLIN, [this](short) { attempted(); });
}

void BrokerLink::attempted() {
    const std::vector<Attempt::Done> done = attempt_->done.take();
    if (done.empty()) return;
    std::shared_ptr<Attempt> attempt = std::move(attempt_);
    registrations_.remove(attemptWatch_);
    if (done.front().rc != MOSQ_ERR_SUCCESS) return lost(Reason(done.front().rc, done.front().error));
    client_ = std::move(attempt->client);
}

// The thread ends on its own and takes the client with it.
void BrokerLink::abandon() {
    registrations_.remove(attemptWatch_);
    attempt_.reset();
}

std::string BrokerLink::address() const { return settings_.host + ":" + std::to_string(settings_.port); }

// The next try is due after the back-off; the first failure since the last
// connection is logged, the broker's own refusals every time.
void BrokerLink::lost(std::string_view reason) {
    connected_ = false;
    const TimePoint now = Clock::now();
    if (connectedAt_ && now - *connectedAt_ >= kSettled) backoff_ = std::chrono::seconds(1);
    connectedAt_.reset();
    if (!reported_)
        log_ << "brak połączenia z brokerem " << address() << " (" << reason << "), ponawiam co najwyżej co "
             << std::chrono::duration_cast<std::chrono::seconds>(kLongestBackoff).count() << " s" << std::endl;
    reported_ = true;
    if (!retryAt_) retryAt_ = now + backoff_;
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
        link.log_ << "broker " << link.address() << " odmówił połączenia: " << mosquitto_reason_string(rc) << std::endl;
        link.reported_ = true;
        return;
    }
    link.connected_ = true;
    link.reported_ = false;
    link.connectedAt_ = Clock::now();
    link.log_ << "połączono z brokerem " << link.address() << std::endl;
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
