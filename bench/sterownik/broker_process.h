#pragma once

#include "child_process.h"
#include "result.h"

#include <filesystem>
#include <memory>
#include <string>

namespace bench {

// A private mosquitto on 127.0.0.1 and a free port, without persistence,
// with room queued for every message of the run.
class BrokerProcess {
public:
    // Fails with the reason when it is not running within a few seconds.
    hall::Status start(const std::filesystem::path& directory);
    int port() const { return port_; }
    // What mosquitto prints, to be polled with the rest.
    int log() const { return process_ ? process_->output() : -1; }
    // Passes what it printed on to standard error; false when it has ended.
    bool readLog();
    ChildProcess& process() { return *process_; }

private:
    hall::Status awaitRunning();

    int port_ = 0;
    std::unique_ptr<ChildProcess> process_;
    std::string pending_;  // a line not yet ended
};

}  // namespace bench
