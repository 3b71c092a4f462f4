#include "signals.h"

#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace sterownik::loop {
namespace {

sigset_t LoopSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) sigaddset(&signals, signal);
    return signals;
}

hall::Unexpected<std::string> Failed(const char* what) {
    return hall::Unexpected(std::string(what) + ": " + std::strerror(errno));
}

}  // namespace

hall::Status BlockLoopSignals() {
    const sigset_t signals = LoopSignals();
    if (const int rc = ::pthread_sigmask(SIG_BLOCK, &signals, nullptr); rc != 0)
        return hall::Unexpected("nie można przejąć sygnałów: " + std::string(std::strerror(rc)));
    return {};
}

SignalPart::SignalPart(Reactor& reactor, std::function<void()> reload)
    : registrations_(reactor), reload_(std::move(reload)) {}

hall::Status SignalPart::start() {
    if (hall::Status blocked = BlockLoopSignals(); !blocked) return blocked;
    const sigset_t signals = LoopSignals();
    fd_ = hall::os::Descriptor(::signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC));
    if (!fd_.valid()) return Failed("nie można przejąć sygnałów");
    registrations_.watch(fd_.get(), POLLIN, [this](short) { readable(); });
    return {};
}

void SignalPart::readable() {
    signalfd_siginfo info{};
    if (::read(fd_.get(), &info, sizeof info) != static_cast<ssize_t>(sizeof info)) return;
    if (info.ssi_signo == SIGHUP)
        reload_();
    else
        registrations_.reactor().quit(0);
}

}  // namespace sterownik::loop
