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

namespace sterownik {
namespace {

// Without a watch, the file is looked at this often.
constexpr Duration kStatePolling = std::chrono::seconds(1);

using hall::os::Descriptor;

int SignalDescriptor() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    if (sigprocmask(SIG_BLOCK, &signals, nullptr) != 0) return -1;
    return ::signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC);
}

// The file is replaced by a rename, or rewritten in place where its
// directory takes no new file: the directory is watched for both.
int StateWatch() {
    const int fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd < 0) return -1;
    const std::string directory = hall::kStateFilePath.parent_path().string();
    if (::inotify_add_watch(fd, directory.c_str(), IN_MOVED_TO | IN_CLOSE_WRITE | IN_CREATE) < 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Whether any of the pending events names the lamp state file.
bool StateFileTouched(int fd) {
    alignas(inotify_event) std::array<char, 4096> buffer;
    const std::string name = hall::kStateFilePath.filename().string();
    bool touched = false;
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got <= 0) return touched;
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + at);
            if (event->len > 0 && name == event->name) touched = true;
            // A full queue may have dropped the event that mattered.
            if (event->mask & IN_Q_OVERFLOW) touched = true;
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
}

int Milliseconds(TimePoint now, TimePoint until) {
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(until - now).count();
    return static_cast<int>(std::clamp<long long>(wait, 0, 60'000));
}

}  // namespace

int RunLoop(Controller& controller, BrokerLink& link, const Message& offline, std::ostream& log) {
    const Descriptor signals(SignalDescriptor());
    if (signals.get() < 0) {
        log << "nie można przejąć sygnałów: " << std::strerror(errno) << std::endl;
        return 1;
    }
    const Descriptor watch(StateWatch());
    if (watch.get() < 0) log << "bez obserwacji katalogu hali, plik stanu czytany co sekundę" << std::endl;
    TimePoint nextLook = Clock::now();
    for (;;) {
        TimePoint now = Clock::now();
        link.tick(now);
        controller.deadline(now);
        if (watch.get() < 0 && now >= nextLook) {
            controller.stateFileChanged();
            nextLook = now + kStatePolling;
        }
        TimePoint until = link.nextDeadline(now);
        if (const std::optional<TimePoint> release = controller.nextDeadline()) until = std::min(until, *release);
        if (watch.get() < 0) until = std::min(until, nextLook);

        std::array<pollfd, 3> fds{{{signals.get(), POLLIN, 0}, {watch.get(), POLLIN, 0}, {link.socket(), POLLIN, 0}}};
        if (link.wantsWrite()) fds[2].events |= POLLOUT;
        if (::poll(fds.data(), fds.size(), Milliseconds(now, until)) < 0 && errno != EINTR) {
            log << "błąd oczekiwania na zdarzenia: " << std::strerror(errno) << std::endl;
            return 1;
        }
        if (fds[0].revents & POLLIN) break;
        if ((fds[1].revents & POLLIN) && StateFileTouched(watch.get())) controller.stateFileChanged();
        // The socket may have been replaced by a reconnect meanwhile.
        if (fds[2].fd >= 0 && fds[2].fd == link.socket()) {
            if (fds[2].revents & (POLLIN | POLLERR | POLLHUP)) link.readable();
            if ((fds[2].revents & POLLOUT) && link.socket() >= 0) link.writable();
        }
    }
    log << "zatrzymano: " << offline.topic << " " << offline.payload << std::endl;
    link.close(offline);
    return 0;
}

}  // namespace sterownik
