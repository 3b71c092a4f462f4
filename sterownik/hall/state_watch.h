#pragma once

#include "reactor.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace sterownik {

// Tells when ../actual.txt may have been replaced by another program. The
// file is replaced by a rename, or rewritten in place where its directory
// takes no new file: its directory is watched for both (inotify), and so is
// the directory of the file a link of it leads to. Without inotify, the file
// is looked at every second.
class StateWatch {
public:
    StateWatch(loop::Reactor& reactor, std::function<void()> changed, std::ostream& log);
    ~StateWatch();
    void start();

private:
    struct Watcher;
    void readable();
    std::optional<TimePoint> poll(TimePoint now);

    loop::Registrations registrations_;
    std::function<void()> changed_;
    std::ostream& log_;
    std::unique_ptr<Watcher> watcher_;
    loop::Reactor::Id watch_ = 0;
    TimePoint nextLook_{};
};

}  // namespace sterownik
