#include "state_watch.h"

#include "lamp_state.h"
#include "posix_file.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <array>

namespace sterownik {
namespace {

// Without a watch, the file is looked at this often.
constexpr Duration kStatePolling = std::chrono::seconds(1);

std::filesystem::path Target() {
    return hall::os::FollowTrustedLinks(hall::kStateFilePath).value_or(hall::kStateFilePath);
}

}  // namespace

struct StateWatch::Watcher {
    struct Watched {
        int wd;
        std::string name;
    };
    hall::os::Descriptor fd{::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)};
    std::filesystem::path target = Target();
    std::vector<Watched> watches;

    Watcher() {
        if (!fd.valid()) return;
        add(hall::kStateFilePath);
        if (target != hall::kStateFilePath) add(target);
    }
    int descriptor() const { return watches.empty() ? -1 : fd.get(); }
    // The file may have become a link that leads elsewhere, or no link any more.
    bool moved() const { return Target() != target; }

    void add(const std::filesystem::path& file) {
        const std::filesystem::path directory = file.has_parent_path() ? file.parent_path() : ".";
        const int wd = ::inotify_add_watch(fd.get(), directory.c_str(), IN_MOVED_TO | IN_CLOSE_WRITE | IN_CREATE);
        if (wd >= 0) watches.push_back({wd, file.filename().string()});
    }
    // Whether any of the pending events names a watched file.
    bool touched() {
        alignas(inotify_event) std::array<char, 4096> buffer;
        bool touched = false;
        for (;;) {
            const ssize_t got = ::read(fd.get(), buffer.data(), buffer.size());
            if (got <= 0) return touched;
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + at);
                touched = touched || names(*event);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }
    bool names(const inotify_event& event) const {
        // A full queue may have dropped the event that mattered.
        if (event.mask & IN_Q_OVERFLOW) return true;
        return event.len > 0 && std::any_of(watches.begin(), watches.end(),
                                            [&](const Watched& w) { return w.wd == event.wd && w.name == event.name; });
    }
};

StateWatch::StateWatch(loop::Reactor& reactor, std::function<void()> changed, std::ostream& log)
    : registrations_(reactor), changed_(std::move(changed)), log_(log) {}

StateWatch::~StateWatch() = default;

void StateWatch::start() {
    watcher_ = std::make_unique<Watcher>();
    if (watcher_->descriptor() < 0) {
        log_ << "bez obserwacji katalogu hali, plik stanu czytany co sekundę" << std::endl;
        registrations_.prepare([this](TimePoint now) { return poll(now); });
        return;
    }
    watch_ = registrations_.watch(watcher_->descriptor(), POLLIN, [this](short) { readable(); });
}

void StateWatch::readable() {
    if (!watcher_->touched()) return;
    if (watcher_->moved()) {
        watcher_ = std::make_unique<Watcher>();
        registrations_.rewatch(watch_, watcher_->descriptor(), POLLIN);
        if (watcher_->descriptor() < 0) registrations_.prepare([this](TimePoint now) { return poll(now); });
    }
    changed_();
}

std::optional<TimePoint> StateWatch::poll(TimePoint now) {
    if (now >= nextLook_) {
        changed_();
        nextLook_ = now + kStatePolling;
    }
    return nextLook_;
}

}  // namespace sterownik
