#pragma once

#include "hall_rules.h"
#include "result.h"
#include "topics.h"

#include <ostream>
#include <string>
#include <string_view>

struct mosquitto;
struct mosquitto_message;

namespace sterownik {

struct LinkSettings {
    std::string host;
    int port = 1883;
    std::string clientId;
    std::string user, password;
    std::string caFile, certFile, keyFile;
    Message will;  // sent by the broker when the link breaks
};

// Told by the link what happened on it, from inside the caller's loop.
class LinkListener {
public:
    virtual ~LinkListener() = default;
    virtual void connected() = 0;
    virtual void received(std::string_view topic, std::string_view payload, bool retained) = 0;
};

// One client of the broker, driven by the caller's own loop: the caller
// polls socket() (and for writing when wantsWrite()), calls readable(),
// writable() and tick(), and wakes up by nextDeadline(). A lost or refused
// connection is tried again after 1 s, then 2, 4, ... up to 30 s.
class BrokerLink {
public:
    BrokerLink(LinkSettings settings, LinkListener& listener, std::ostream& log);
    ~BrokerLink();
    BrokerLink(const BrokerLink&) = delete;
    BrokerLink& operator=(const BrokerLink&) = delete;

    // Credentials, TLS and the will, or why the library refuses them.
    hall::Status setUp();

    int socket() const;
    bool wantsWrite() const;
    bool connected() const { return connected_; }
    void readable();
    void writable();
    // Keeps the connection alive, and connects when the next try is due.
    void tick(TimePoint now);
    TimePoint nextDeadline(TimePoint now) const;

    void subscribe(const std::string& topic);
    // Retained, QoS 1; nothing while there is no connection, as everything
    // is published again on connecting.
    void publish(const Message& message);
    // Publishes `last`, disconnects and sends what is queued, for at most a few seconds.
    void close(const Message& last);

private:
    static void OnConnect(mosquitto* client, void* self, int rc);
    static void OnDisconnect(mosquitto* client, void* self, int rc);
    static void OnMessage(mosquitto* client, void* self, const mosquitto_message* message);

    void connectNow();
    void lost(std::string_view reason);
    void checked(int rc);

    LinkSettings settings_;
    LinkListener& listener_;
    std::ostream& log_;
    mosquitto* client_ = nullptr;
    bool connected_ = false;
    bool tried_ = false;     // connect called once, so that later tries reconnect
    bool reported_ = false;  // the broker's absence logged since the last connection
    std::optional<TimePoint> retryAt_;
    Duration backoff_ = std::chrono::seconds(1);
};

}  // namespace sterownik
