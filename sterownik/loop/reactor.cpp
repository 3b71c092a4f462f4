#include "reactor.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace sterownik::loop {
namespace {

// However long nothing is due, the loop looks up this often.
constexpr Duration kLongestWait = std::chrono::seconds(60);

int Milliseconds(TimePoint now, TimePoint until) {
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(until - now).count();
    return static_cast<int>(
        std::clamp<long long>(wait, 0, std::chrono::duration_cast<std::chrono::milliseconds>(kLongestWait).count()));
}

}  // namespace

Reactor::Id Reactor::watch(int fd, short events, Handler handler) {
    watches_.emplace(next_, Watch{fd, events, std::move(handler)});
    return next_++;
}

void Reactor::rewatch(Id id, int fd, short events) {
    if (const auto found = watches_.find(id); found != watches_.end())
        found->second.fd = fd, found->second.events = events;
}

Reactor::Id Reactor::prepare(Prepare prepare) {
    prepares_.emplace(next_, std::move(prepare));
    return next_++;
}

Reactor::Id Reactor::interest(Interest interest) {
    interests_.emplace(next_, std::move(interest));
    return next_++;
}

Reactor::Id Reactor::after(TimePoint when, Timer timer) {
    timers_.emplace(next_, Pending{when, std::move(timer)});
    return next_++;
}

void Reactor::remove(Id id) {
    watches_.erase(id);
    prepares_.erase(id);
    interests_.erase(id);
    timers_.erase(id);
}

// The timers due, then every part's preparation, in the order they
// registered, then what each part waits on.
std::optional<TimePoint> Reactor::turn(TimePoint now) {
    std::vector<Id> due;
    for (const auto& [id, pending] : timers_)
        if (pending.when <= now) due.push_back(id);
    for (const Id id : due) {
        const auto found = timers_.find(id);
        if (found == timers_.end()) continue;
        const Timer timer = std::move(found->second.timer);
        timers_.erase(found);
        timer();
    }
    std::optional<TimePoint> until;
    const auto earlier = [&](TimePoint when) { until = until ? std::min(*until, when) : when; };
    std::vector<Id> ids;
    for (const auto& entry : prepares_) ids.push_back(entry.first);
    for (const Id id : ids) {
        const auto found = prepares_.find(id);
        if (found == prepares_.end()) continue;
        const Prepare prepare = found->second;
        if (const std::optional<TimePoint> when = prepare(now)) earlier(*when);
    }
    for (const auto& entry : timers_) earlier(entry.second.when);
    for (const auto& entry : interests_) entry.second();
    return until;
}

void Reactor::dispatch(const std::vector<pollfd>& fds, const std::vector<Id>& ids) {
    for (std::size_t i = 0; i < fds.size() && !status_; ++i) {
        if (fds[i].revents == 0) continue;
        const auto found = watches_.find(ids[i]);
        // Removed, or moved to another descriptor, by an earlier handler of this turn.
        if (found == watches_.end() || found->second.fd != fds[i].fd) continue;
        const Handler handler = found->second.handler;
        handler(fds[i].revents);
    }
}

int Reactor::run(std::ostream& log) {
    std::vector<pollfd> fds;
    std::vector<Id> ids;
    while (!status_) {
        TimePoint now = Clock::now();
        const std::optional<TimePoint> until = turn(now);
        if (status_) break;
        fds.clear();
        ids.clear();
        for (const auto& [id, watch] : watches_) {
            if (watch.fd < 0) continue;
            fds.push_back({watch.fd, watch.events, 0});
            ids.push_back(id);
        }
        now = Clock::now();
        if (::poll(fds.data(), fds.size(), Milliseconds(now, until.value_or(now + kLongestWait))) < 0) {
            if (errno == EINTR) continue;
            log << "błąd oczekiwania na zdarzenia: " << std::strerror(errno) << std::endl;
            return 1;
        }
        dispatch(fds, ids);
    }
    return *status_;
}

Reactor::Id Registrations::keep(Reactor::Id id) {
    ids_.push_back(id);
    return id;
}

void Registrations::remove(Reactor::Id id) {
    reactor_.remove(id);
    std::erase(ids_, id);
}

void Registrations::clear() {
    for (const Reactor::Id id : ids_) reactor_.remove(id);
    ids_.clear();
}

}  // namespace sterownik::loop
