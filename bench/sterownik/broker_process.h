#pragma once

#include "child_process.h"
#include "driver_client.h"
#include "result.h"

#include <filesystem>
#include <memory>
#include <string>

namespace bench {

// A port of 127.0.0.1 that was free a moment ago, the kernel's choice for
// port 0; 0 when there is none. For a program that must be told its port.
int FreePort();

// Hall: as the package sets a hall's broker (packaging/mosquitto/hala.conf).
// Raised: that, and room in flight for one subscriber that hears every hall.
// Default: Debian's queue and inflight limits, which drop what a slow
// subscriber leaves waiting.
enum class BrokerLimits { Hall, Raised, Default };

// A private mosquitto on 127.0.0.1 and a free port, without persistence.
class BrokerProcess {
public:
    // Its configuration goes into `directory` (made when missing), one broker's own. Fails with
    // the reason when it is not running within a few seconds.
    hall::Status start(const std::filesystem::path& directory, BrokerLimits limits);
    int port() const { return port_; }
    // What mosquitto prints, to be polled with the rest.
    int log() const { return process_ ? process_->output() : -1; }
    // Passes what it printed on to standard error; false when it has ended.
    bool readLog();
    // Its log for a client's loop to read, which ends the loop when mosquitto ends.
    Watch endWatch();
    ChildProcess& process() { return *process_; }

private:
    hall::Status awaitRunning();

    int port_ = 0;
    std::unique_ptr<ChildProcess> process_;
    std::string pending_;  // a line not yet ended
};

}  // namespace bench
