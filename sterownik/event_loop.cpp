#include "event_loop.h"

#include "posix_file.h"

#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

namespace sterownik {
namespace {

// Without a watch, the file is looked at this often.
constexpr Duration kStatePolling = std::chrono::seconds(1);

using hall::os::Descriptor;

sigset_t LoopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&signals, signal);
    return signals;
}

int SignalDescriptor() {
    const sigset_t signals = LoopSignals();
    if (!BlockLoopSignals()) return -1;
    return ::signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC);
}

// The signal that woke the loop, or 0.
int TakeSignal(int fd) {
    signalfd_siginfo info{};
    return ::read(fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info) ? static_cast<int>(info.ssi_signo) : 0;
}

// The file is replaced by a rename, or rewritten in place where its
// directory takes no new file: its directory is watched for both, and so is
// the directory of the file a link of it leads to.
class StateWatch {
public:
    StateWatch() : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)), target_(Target()) {
        if (!fd_.valid()) return;
        add(hall::kStateFilePath);
        if (target_ != hall::kStateFilePath) add(target_);
    }
    int fd() const { return watches_.empty() ? -1 : fd_.get(); }
    // The file may have become a link that leads elsewhere, or no link any more.
    bool moved() const { return Target() != target_; }

    // Whether any of the pending events names a watched file.
    bool touched() {
        alignas(inotify_event) std::array<char, 4096> buffer;
        bool touched = false;
        for (;;) {
            const ssize_t got = ::read(fd_.get(), buffer.data(), buffer.size());
            if (got <= 0) return touched;
            for (ssize_t at = 0; at < got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + at);
                touched = touched || names(*event);
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
    }

private:
    static std::filesystem::path Target() {
        return hall::os::FollowTrustedLinks(hall::kStateFilePath).value_or(hall::kStateFilePath);
    }
    void add(const std::filesystem::path& file) {
        const std::filesystem::path directory = file.has_parent_path() ? file.parent_path() : ".";
        const int wd = ::inotify_add_watch(fd_.get(), directory.c_str(), IN_MOVED_TO | IN_CLOSE_WRITE | IN_CREATE);
        if (wd >= 0) watches_.push_back({wd, file.filename().string()});
    }
    bool names(const inotify_event& event) const {
        // A full queue may have dropped the event that mattered.
        if (event.mask & IN_Q_OVERFLOW) return true;
        return event.len > 0 && std::any_of(watches_.begin(), watches_.end(),
                                            [&](const Watched& w) { return w.wd == event.wd && w.name == event.name; });
    }

    struct Watched {
        int wd;
        std::string name;
    };
    Descriptor fd_;
    std::filesystem::path target_;
    std::vector<Watched> watches_;
};

int Milliseconds(TimePoint now, TimePoint until) {
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(until - now).count();
    return static_cast<int>(std::clamp<long long>(wait, 0, 60'000));
}

bool Readable(int fd) {
    pollfd ready{fd, POLLIN, 0};
    return fd >= 0 && ::poll(&ready, 1, 0) > 0 && (ready.revents & (POLLIN | POLLERR | POLLHUP));
}

// Every message already waiting, so that a burst is carried out as one
// group; the acknowledgements go out meanwhile, so that the broker sends on.
void ReadWaiting(Controller& controller, BrokerLink& link) {
    do {
        link.readable();
        if (link.wantsWrite()) link.writable();
    } while (!controller.full() && Readable(link.socket()));
}

// A write of the building's management system is an event as any other.
void TakeCommands(BmsServer& server, Controller& controller, std::ostream& log) {
    for (const BmsServer::Report& report : server.take()) {
        if (report.event)
            controller.arrived(*report.event, "BMS");
        else
            log << report.line << std::endl;
    }
}

}  // namespace

bool BlockLoopSignals() {
    const sigset_t signals = LoopSignals();
    return ::pthread_sigmask(SIG_BLOCK, &signals, nullptr) == 0;
}

int RunLoop(Controller& controller, const Wiring& wiring, const std::function<void()>& reload, std::ostream& log) {
    const Descriptor signals(SignalDescriptor());
    if (!signals.valid()) {
        log << "nie można przejąć sygnałów: " << std::strerror(errno) << std::endl;
        return 1;
    }
    auto watch = std::make_unique<StateWatch>();
    if (watch->fd() < 0) log << "bez obserwacji katalogu hali, plik stanu czytany co sekundę" << std::endl;
    TimePoint nextLook = Clock::now();
    for (;;) {
        BrokerLink* const link = wiring.broker;
        TimePoint now = Clock::now();
        if (link) link->tick(now);
        controller.settle(now);
        if (watch->fd() < 0 && now >= nextLook) {
            controller.stateFileChanged();
            nextLook = now + kStatePolling;
        }
        TimePoint until = link ? link->nextDeadline(now) : now + std::chrono::seconds(1);
        if (const std::optional<TimePoint> release = controller.nextDeadline()) until = std::min(until, *release);
        if (watch->fd() < 0) until = std::min(until, nextLook);

        const int socket = link ? link->socket() : -1;
        if (wiring.bms) wiring.bms->show(controller.view());
        std::array<pollfd, 5> fds{{{signals.get(), POLLIN, 0},
                                   {watch->fd(), POLLIN, 0},
                                   {socket, POLLIN, 0},
                                   {wiring.modbus ? wiring.modbus->descriptor() : -1, POLLIN, 0},
                                   {wiring.bms ? wiring.bms->descriptor() : -1, POLLIN, 0}}};
        if (link && link->wantsWrite()) fds[2].events |= POLLOUT;
        if (::poll(fds.data(), fds.size(), Milliseconds(now, until)) < 0 && errno != EINTR) {
            log << "błąd oczekiwania na zdarzenia: " << std::strerror(errno) << std::endl;
            return 1;
        }
        if (fds[0].revents & POLLIN) {
            if (TakeSignal(signals.get()) != SIGHUP) break;
            reload();
            continue;
        }
        if ((fds[1].revents & POLLIN) && watch->fd() == fds[1].fd && watch->touched()) {
            if (watch->moved()) watch = std::make_unique<StateWatch>();
            controller.stateFileChanged();
        }
        if ((fds[3].revents & POLLIN) && wiring.modbus) wiring.modbus->readable(controller);
        if ((fds[4].revents & POLLIN) && wiring.bms) TakeCommands(*wiring.bms, controller, log);
        // The socket may have been replaced by a reconnect meanwhile.
        if (link && fds[2].fd >= 0 && fds[2].fd == link->socket()) {
            if (fds[2].revents & (POLLIN | POLLERR | POLLHUP)) ReadWaiting(controller, *link);
            if ((fds[2].revents & POLLOUT) && link->socket() >= 0) link->writable();
        }
    }
    if (BrokerLink* const link = wiring.broker) {
        log << "zatrzymano: " << link->will().topic << " " << link->will().payload << std::endl;
        link->close();
    } else {
        log << "zatrzymano" << std::endl;
    }
    return 0;
}

}  // namespace sterownik
