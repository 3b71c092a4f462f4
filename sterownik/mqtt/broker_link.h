#pragma once

#include "clock.h"
#include "reactor.h"
#include "result.h"
#include "topics.h"

#include <memory>
#include <optional>
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
    Message will;  // sent by the broker when the link breaks, and by a clean stop
    bool operator==(const LinkSettings&) const = default;
};

// Told by the link what happened on it, from inside the caller's loop.
class LinkListener {
public:
    virtual ~LinkListener() = default;
    virtual void connected() = 0;
    virtual void received(std::string_view topic, std::string_view payload, bool retained) = 0;
    // Whether the listener has taken all it takes in one turn.
    virtual bool full() const = 0;
};

// One client of the broker, a part of the loop: it registers its socket and
// its deadlines with the reactor. Connecting runs on a thread of its own,
// since the library's connect resolves the name and waits for the address to
// answer, which may take minutes; an attempt not done in 10 s is left to end
// on that thread. A lost or refused connection is tried again after 1 s,
// then 2, 4, ... up to 30 s; the delay starts again from 1 s only after a
// connection has lasted a while. Every message already waiting is read in
// one turn, so that a burst is carried out as one group.
//
// Every connection is a fresh session of a fresh client, so that nothing
// queued before a connection was lost is sent after the state it published
// anew. MQTT v5, so that the broker sends no message larger than the
// controller takes.
class BrokerLink {
public:
    // The largest packet the broker may send: a message the topics take (64 KiB) and its topic.
    static constexpr int kMaximumPacket = 80 * 1024;
    // Messages awaiting the broker's acknowledgement; more wait in the library.
    static constexpr int kInflightLimit = 50;

    BrokerLink(LinkSettings settings, LinkListener& listener, loop::Reactor& reactor, std::ostream& log);
    ~BrokerLink();
    BrokerLink(const BrokerLink&) = delete;
    BrokerLink& operator=(const BrokerLink&) = delete;

    // Credentials, TLS and the will, or why the library refuses them; then
    // the first connection is tried.
    hall::Status start();
    // Stops cleanly under the settings in use and connects at once under these.
    void reconfigure(LinkSettings settings);

    bool connected() const { return connected_; }

    void subscribe(const std::string& topic);
    void unsubscribe(const std::string& topic);
    // Retained, QoS 1; nothing while there is no connection, as everything
    // is published again on connecting.
    void publish(const Message& message);
    // Keeps the segments of the messages published from now on in the
    // kernel until `release`, so that a group's messages go out in as few
    // packets as fit, for the broker to read at once.
    void hold();
    void release();
    // Publishes the will's message ahead of everything still waiting for the
    // broker's acknowledgement, disconnects and sends it, waiting at most
    // `patience` for the socket to take it (a stop waits a few seconds, a
    // reload not at all: the broker sends the will itself if it comes short).
    void close(Duration patience = std::chrono::seconds(3));
    const Message& will() const { return settings_.will; }

private:
    struct Destroy {
        void operator()(mosquitto* client) const;
    };
    using Client = std::unique_ptr<mosquitto, Destroy>;

    static void OnConnect(mosquitto* client, void* self, int rc);
    static void OnDisconnect(mosquitto* client, void* self, int rc);
    static void OnMessage(mosquitto* client, void* self, const mosquitto_message* message);

    struct Attempt;

    int socket() const;
    bool wantsWrite() const;
    void readable();
    void writable();
    void ready(short revents);
    // Keeps the connection alive, and connects when the next try is due.
    std::optional<TimePoint> tick(TimePoint now);
    hall::Result<Client> newClient();
    void connectNow(TimePoint now);
    void attempted();
    void abandon();
    void lost(std::string_view reason);
    void checked(int rc);
    std::string address() const;

    LinkSettings settings_;
    LinkListener& listener_;
    std::ostream& log_;
    loop::Registrations registrations_;
    loop::Reactor::Id socketWatch_ = 0, attemptWatch_ = 0;
    int watched_ = -1;
    Client client_;
    std::shared_ptr<Attempt> attempt_;
    TimePoint attemptSince_{};
    bool connected_ = false;
    bool reported_ = false;  // the broker's absence logged since the last connection
    std::optional<TimePoint> retryAt_;
    std::optional<TimePoint> connectedAt_;
    Duration backoff_ = std::chrono::seconds(1);
};

}  // namespace sterownik
