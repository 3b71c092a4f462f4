#pragma once

#include "latency.h"
#include "result.h"

#include <time.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace bench {

// What the panels have had so far.
struct PanelCounts {
    std::size_t connected = 0;          // established, ever
    std::size_t closed = 0;             // of those, ended since
    std::vector<std::size_t> received;  // whole messages, by panel
};

// Live views of a controller's web panel, held open as the tablets on a
// hall's wall hold them: WebSocket clients of libwebsockets on a thread of
// their own, logged in with one session, counting what they receive and
// sending nothing. Closed when this is destroyed.
class PanelClients {
public:
    // Opens `count` connections to ws://127.0.0.1:port/stan with the session `token`.
    PanelClients(int port, std::string token, int count);
    ~PanelClients();
    PanelClients(const PanelClients&) = delete;
    PanelClients& operator=(const PanelClients&) = delete;

    // Until every one is established; fails with the reason when one is
    // refused or ends, or when `patience` runs out first.
    hall::Status waitConnected(Duration patience);
    PanelCounts counts() const;
    // The CPU their thread has used so far.
    Duration cpuTime() const;

    struct State;

private:
    std::unique_ptr<State> state_;
    std::thread thread_;
    std::optional<clockid_t> cpuClock_;
};

}  // namespace bench
