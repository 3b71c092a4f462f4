#pragma once

#include "posix_file.h"
#include "reactor.h"
#include "result.h"

#include <functional>

namespace sterownik::loop {

// The loop's signals kept from every thread: call it before any thread
// starts, which inherits it, so that a signal reaches the loop and nothing else.
hall::Status BlockLoopSignals();

// SIGTERM and SIGINT end the loop with status 0; SIGHUP calls `reload`.
class SignalPart {
public:
    SignalPart(Reactor& reactor, std::function<void()> reload);
    hall::Status start();

private:
    void readable();

    Registrations registrations_;
    std::function<void()> reload_;
    hall::os::Descriptor fd_{-1};
};

}  // namespace sterownik::loop
