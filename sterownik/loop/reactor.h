#pragma once

#include "clock.h"

#include <poll.h>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <ostream>

namespace sterownik::loop {

// One thread, one turn at a time, as a small reactor does: each part
// registers the descriptors it waits on with a handler each, hooks that run
// before every wait and say when the part next needs a turn, and one-shot
// timers. Nothing is addressed by position: a registration is an id, and a
// handler whose registration was removed or moved to another descriptor
// during the turn is not called for what the wait saw.
class Reactor {
public:
    using Id = std::uint64_t;
    // What the wait saw on the descriptor (POLLIN, POLLOUT, POLLERR, POLLHUP).
    using Handler = std::function<void(short revents)>;
    // Runs before the wait; gives when the part next needs a turn, if at all.
    using Prepare = std::function<std::optional<TimePoint>(TimePoint now)>;
    using Timer = std::function<void()>;
    // Runs after every part's preparation, right before the wait: a part whose
    // descriptor or events follow from what the others did there (a
    // publication queued while carrying out events) sets them here.
    using Interest = std::function<void()>;

    Id watch(int fd, short events, Handler handler);
    // The same registration on another descriptor (-1: none for now) or for other events.
    void rewatch(Id id, int fd, short events);
    Id prepare(Prepare prepare);
    Id interest(Interest interest);
    Id after(TimePoint when, Timer timer);
    // Any registration; an id already removed is ignored.
    void remove(Id id);

    // Turns until quit(); gives quit's status, or 1 when the wait itself fails.
    int run(std::ostream& log);
    void quit(int status) { status_ = status; }

private:
    struct Watch {
        int fd;
        short events;
        Handler handler;
    };
    struct Pending {
        TimePoint when;
        Timer timer;
    };

    std::optional<TimePoint> turn(TimePoint now);
    void dispatch(const std::vector<pollfd>& fds, const std::vector<Id>& ids);

    Id next_ = 1;
    std::map<Id, Watch> watches_;
    std::map<Id, Prepare> prepares_;
    std::map<Id, Interest> interests_;
    std::map<Id, Pending> timers_;
    std::optional<int> status_;
};

// A part's registrations, removed together when the part stops.
class Registrations {
public:
    explicit Registrations(Reactor& reactor) : reactor_(reactor) {}
    ~Registrations() { clear(); }
    Registrations(const Registrations&) = delete;
    Registrations& operator=(const Registrations&) = delete;

    Reactor::Id watch(int fd, short events, Reactor::Handler handler) {
        return keep(reactor_.watch(fd, events, std::move(handler)));
    }
    Reactor::Id prepare(Reactor::Prepare prepare) { return keep(reactor_.prepare(std::move(prepare))); }
    Reactor::Id interest(Reactor::Interest interest) { return keep(reactor_.interest(std::move(interest))); }
    Reactor::Id after(TimePoint when, Reactor::Timer timer) { return keep(reactor_.after(when, std::move(timer))); }
    void rewatch(Reactor::Id id, int fd, short events) { reactor_.rewatch(id, fd, events); }
    void remove(Reactor::Id id);
    void clear();
    Reactor& reactor() { return reactor_; }

private:
    Reactor::Id keep(Reactor::Id id);

    Reactor& reactor_;
    std::vector<Reactor::Id> ids_;
};

}  // namespace sterownik::loop
